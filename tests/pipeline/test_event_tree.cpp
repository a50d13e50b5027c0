#include "ViewsTestSupport.h"

#include "events/UntEvents.h"

#include <memory>
#include <random>

namespace {

class WindowsTree : public ::testing::Test {
protected:
    std::shared_ptr<TFakeIcons> icons = std::make_shared<TFakeIcons>();
    TEventTree tree{icons, TPathStyle::Windows, fixedTime};
};

class PosixTree : public ::testing::Test {
protected:
    std::shared_ptr<TFakeIcons> icons = std::make_shared<TFakeIcons>();
    TEventTree tree{icons, TPathStyle::Posix, fixedTime};
};

TNodeId findPath(const TEventTree& tree, std::initializer_list<std::string_view> segments)
{
    TNodeId at = kNoNode;
    for (std::string_view s : segments) {
        at = tree.findChildNode(s, at);
        if (at == kNoNode)
            break;
    }
    return at;
}

} // namespace

TEST_F(WindowsTree, CreateAddsEachMissingSegmentOnceWithItsIcons)
{
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    EXPECT_EQ(printTree(tree), "C: {11}\n  Docs {22}\n    a.txt {22}\n");
    EXPECT_EQ(icons->calls, (std::vector<std::string>{"ext:C:", "path:C:\\Docs\\", "path:C:\\Docs\\a.txt\\"}));

    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evUpdateFile);
    EXPECT_EQ(tree.nodeCount(), 3u);
    EXPECT_EQ(icons->calls.size(), 3u);
}

TEST_F(WindowsTree, CaseFoldsOnlyAsciiAndKeepsTheFirstText)
{
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    tree.addDirectoryFile("c:\\DOCS\\A.TXT", "", evCreate);
    EXPECT_EQ(printTree(tree), "C: {11}\n  Docs {22}\n    a.txt {22}\n");

    tree.addDirectoryFile("C:\\\xC3\x89t\xC3\xA9", "", evMkDir);
    tree.addDirectoryFile("C:\\\xC3\xA9t\xC3\xA9", "", evMkDir);
    EXPECT_EQ(tree.nodeCount(), 5u);
    EXPECT_NE(findPath(tree, {"C:", "\xC3\x89T\xC3\xA9"}), kNoNode);
    EXPECT_EQ(findPath(tree, {"C:", "\xC3\x89t\xC3\xA9"}), findPath(tree, {"c:", "\xC3\x89T\xC3\xA9"}));
}

TEST_F(WindowsTree, DeleteMarksRedAndALaterCreateAddsANodeBeside)
{
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    icons->calls.clear();
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evDelete);
    EXPECT_EQ(printTree(tree), "C: {11}\n  Docs {22}\n    (14:05:09) a.txt [2] {11}\n");
    EXPECT_EQ(icons->calls, (std::vector<std::string>{"ext:C:\\Docs\\a.txt\\"}));

    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    EXPECT_EQ(printTree(tree), "C: {11}\n  Docs {22}\n    (14:05:09) a.txt [2] {11}\n    a.txt {22}\n");
}

TEST_F(WindowsTree, DeleteDirectoryRemovesEverythingBelowAndALaterEventBuildsANewNode)
{
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    tree.addDirectoryFile("C:\\Docs\\sub\\deep\\b.txt", "", evCreate);
    tree.addDirectoryFile("C:\\Other", "", evMkDir);
    tree.addDirectoryFile("C:\\Docs", "", evRmDir);
    EXPECT_EQ(printTree(tree), "C: {11}\n  (14:05:09) Docs [2] {33}\n  Other {22}\n");
    EXPECT_EQ(tree.nodeCount(), 3u);

    tree.addDirectoryFile("C:\\Docs\\c.txt", "", evCreate);
    EXPECT_EQ(printTree(tree), "C: {11}\n  (14:05:09) Docs [2] {33}\n  Other {22}\n  Docs {22}\n    c.txt {22}\n");
    // Reused arena slots come back clean.
    tree.addDirectoryFile("C:\\Docs\\sub\\deep\\b.txt", "", evCreate);
    EXPECT_EQ(tree.nodeCount(), 8u);
    EXPECT_NE(findPath(tree, {"C:", "Docs", "sub", "deep", "b.txt"}), kNoNode);
}

TEST_F(WindowsTree, RenamesMarkBlueAndAddNoNodeForTheNewName)
{
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    tree.addDirectoryFile("C:\\Docs\\a.txt", "C:\\Docs\\b.txt", evRenameFile);
    EXPECT_EQ(printTree(tree), "C: {11}\n  Docs {22}\n    a.txt -> b.txt [1] {11}\n");

    // Unknown path: nodes are added, the last one marked.
    tree.addDirectoryFile("C:\\New\\Old", "C:\\New\\Fresh", evRenameFolder);
    EXPECT_EQ(printTree(tree),
              "C: {11}\n  Docs {22}\n    a.txt -> b.txt [1] {11}\n  New {22}\n    Old -> Fresh [1] {33}\n");
    // The decorated text is what later lookups see.
    EXPECT_NE(findPath(tree, {"C:", "docs", "A.TXT -> B.TXT"}), kNoNode);
    EXPECT_EQ(findPath(tree, {"C:", "Docs", "a.txt"}), kNoNode);
}

TEST_F(WindowsTree, OneSegmentPathsAreNeverMarked)
{
    for (int n : {evDelete, evRmDir, evRenameFile, evRenameFolder}) {
        tree.addDirectoryFile("C:", "D:", n);
        tree.addDirectoryFile("C:\\", "D:\\", n);
    }
    EXPECT_EQ(printTree(tree), "C: {11}\n");
}

TEST_F(WindowsTree, NetworkPathSkipsLeadingEmptySegments)
{
    tree.addDirectoryFile("\\\\server\\share\\f.txt", "", evCreate);
    EXPECT_EQ(printTree(tree), "server {22}\n  share {22}\n    f.txt {22}\n");
    EXPECT_EQ(icons->calls.front(), "path:server");
    EXPECT_EQ(tree.getNodePath(findPath(tree, {"server", "share"})), "server\\share\\");
}

TEST_F(WindowsTree, BlankAndDoubledSeparatorsAreSkippedButSurroundingBlanksKept)
{
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    tree.addDirectoryFile("C:\\\\Docs\\a.txt", "", evCreate);
    tree.addDirectoryFile("C:\\  \\Docs\\\t\\a.txt", "", evCreate);
    EXPECT_EQ(tree.nodeCount(), 3u);

    tree.addDirectoryFile("C:\\ Docs \\a.txt", "", evCreate);
    EXPECT_EQ(printTree(tree), "C: {11}\n  Docs {22}\n    a.txt {22}\n   Docs  {22}\n    a.txt {22}\n");
    // A blank last segment is skipped, so nothing is marked.
    tree.addDirectoryFile("C:\\Docs\\ ", "", evDelete);
    EXPECT_EQ(tree.getMark(findPath(tree, {"C:", "Docs"})), 0);
}

TEST_F(WindowsTree, FirstMatchInChildOrderDecidesEvenAfterTextChanges)
{
    // Two renamed siblings with the same decorated text: the first one is found.
    tree.addDirectoryFile("C:\\D\\a.txt", "C:\\D\\b.txt", evRenameFile);
    tree.addDirectoryFile("C:\\D\\a.txt", "C:\\D\\b.txt", evRenameFile);
    const TNodeId d = findPath(tree, {"C:", "D"});
    ASSERT_EQ(tree.childCount(d), 2);
    EXPECT_EQ(tree.findChildNode("a.txt -> B.txt", d), tree.child(d, 0));

    // Marking the first moves the lookup to the second.
    tree.addDirectoryFile("C:\\D\\a.txt -> b.txt", "", evDelete);
    EXPECT_EQ(tree.getText(tree.child(d, 0)), "(14:05:09) a.txt -> b.txt");
    EXPECT_EQ(tree.findChildNode("a.txt -> b.txt", d), tree.child(d, 1));

    // An older node taking the text of a younger sibling comes first: it is deleted, so none.
    tree.addDirectoryFile("C:\\E\\x", "", evCreate);
    tree.addDirectoryFile("C:\\E\\(14:05:09) x", "", evCreate);
    tree.addDirectoryFile("C:\\E\\x", "", evDelete);
    const TNodeId e = findPath(tree, {"C:", "E"});
    EXPECT_EQ(tree.findChildNode("(14:05:09) X", e), kNoNode);
    tree.addDirectoryFile("C:\\E\\(14:05:09) x", "", evCreate);
    EXPECT_EQ(tree.childCount(e), 3);
}

TEST_F(WindowsTree, NavigationMatchesDisplayOrder)
{
    tree.addDirectoryFile("C:\\a\\x", "", evCreate);
    tree.addDirectoryFile("C:\\b", "", evMkDir);
    tree.addDirectoryFile("D:\\c", "", evMkDir);
    EXPECT_EQ(tree.childCount(kNoNode), 2);
    const TNodeId c = tree.child(kNoNode, 0);
    EXPECT_EQ(tree.parent(c), kNoNode);
    const TNodeId b = tree.child(c, 1);
    EXPECT_EQ(tree.getText(b), "b");
    EXPECT_EQ(tree.row(b), 1);
    EXPECT_EQ(tree.parent(b), c);
    EXPECT_EQ(tree.child(c, 2), kNoNode);
    EXPECT_EQ(tree.child(c, -1), kNoNode);

    std::vector<std::pair<std::string, int>> seen;
    tree.forEachNode([&](TNodeId id, std::uint16_t level) { seen.emplace_back(tree.getText(id), level); });
    EXPECT_EQ(seen,
              (std::vector<std::pair<std::string, int>>{{"C:", 0}, {"a", 1}, {"x", 2}, {"b", 1}, {"D:", 0}, {"c", 1}}));

    tree.addDirectoryFile("C:\\a", "", evRmDir);
    EXPECT_FALSE(tree.isValid(tree.child(b, 0)));
    tree.clear();
    EXPECT_EQ(tree.nodeCount(), 0u);
    EXPECT_EQ(tree.childCount(kNoNode), 0);
    EXPECT_EQ(printTree(tree), "");
}

TEST_F(PosixTree, AbsolutePathsHangBelowTheSlashNode)
{
    tree.addDirectoryFile("/home/a.txt", "", evCreate);
    EXPECT_EQ(printTree(tree), "/ {11}\n  home {22}\n    a.txt {22}\n");
    EXPECT_EQ(icons->calls, (std::vector<std::string>{"ext:/", "path:/home/", "path:/home/a.txt/"}));
    const TNodeId root = findPath(tree, {"/"});
    const TNodeId file = findPath(tree, {"/", "home", "a.txt"});
    EXPECT_EQ(tree.getNodePath(root), "/");
    EXPECT_EQ(tree.getNodeFilePath(root), "/");
    EXPECT_EQ(tree.getNodePath(file), "/home/a.txt/");
    EXPECT_EQ(tree.getNodeFilePath(file), "/home/a.txt");

    tree.addDirectoryFile("//home//a.txt", "", evCreate);
    tree.addDirectoryFile("/", "", evMkDir);
    EXPECT_EQ(tree.nodeCount(), 3u);
}

TEST_F(PosixTree, MarksAndRelativePaths)
{
    tree.addDirectoryFile("/home/a.txt", "/home/b.txt", evRenameFile);
    tree.addDirectoryFile("/home/old", "", evRmDir);
    tree.addDirectoryFile("/", "", evDelete);
    tree.addDirectoryFile("rel/x\\y", "", evCreate);
    EXPECT_EQ(printTree(tree),
              "/ {11}\n  home {22}\n    a.txt -> b.txt [1] {11}\n    (14:05:09) old [2] {33}\nrel {11}\n  x\\y {22}\n");
    EXPECT_EQ(tree.getNodeFilePath(findPath(tree, {"rel", "x\\y"})), "rel/x\\y");
}

TEST(EventTreeTime, DefaultTimeTextIsTheTimeOfDay)
{
    const std::string text = localTimeText();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find(':'), std::string::npos);
}

namespace {
// Checks that every begin has its end and that the tree has not changed yet at begin time.
class TRecordingTreeObserver final : public TTreeObserver {
public:
    explicit TRecordingTreeObserver(const TEventTree& tree) : tree_(tree) {}
    void beginInsertNodes(TNodeId parent, int firstRow, int count) override
    {
        open();
        EXPECT_EQ(tree_.childCount(parent), firstRow);
        pending_ = {parent, firstRow + count};
        log.push_back("+" + label(parent) + "@" + std::to_string(firstRow));
    }
    void endInsertNodes() override
    {
        close();
        EXPECT_EQ(tree_.childCount(pending_.first), pending_.second);
    }
    void beginRemoveNodes(TNodeId parent, int firstRow, int count) override
    {
        open();
        EXPECT_EQ(firstRow, 0);
        EXPECT_EQ(tree_.childCount(parent), count);
        pending_ = {parent, 0};
        log.push_back("-" + label(parent) + "x" + std::to_string(count));
    }
    void endRemoveNodes() override
    {
        close();
        EXPECT_EQ(tree_.childCount(pending_.first), 0);
    }
    void nodeChanged(TNodeId id) override
    {
        EXPECT_FALSE(inside_);
        log.push_back("~" + tree_.getText(id));
    }
    void beginReset() override
    {
        open();
        log.push_back("reset");
    }
    void endReset() override { close(); }

    std::vector<std::string> log;
    bool inside() const { return inside_; }

private:
    void open()
    {
        EXPECT_FALSE(inside_);
        inside_ = true;
    }
    void close()
    {
        EXPECT_TRUE(inside_);
        inside_ = false;
    }
    std::string label(TNodeId id) const { return id == kNoNode ? "top" : tree_.getText(id); }
    const TEventTree& tree_;
    std::pair<TNodeId, int> pending_{kNoNode, 0};
    bool inside_ = false;
};
} // namespace

TEST_F(WindowsTree, ObserverSeesPairedCallsAroundEachChange)
{
    TRecordingTreeObserver observer(tree);
    tree.setObserver(&observer);
    tree.addDirectoryFile("C:\\Docs\\a.txt", "", evCreate);
    tree.addDirectoryFile("C:\\Docs\\b.txt", "", evCreate);
    tree.addDirectoryFile("C:\\Docs", "", evRmDir);
    tree.addDirectoryFile("C:\\x", "C:\\y", evRenameFile);
    tree.clear();
    EXPECT_FALSE(observer.inside());
    EXPECT_EQ(observer.log, (std::vector<std::string>{"+top@0", "+C:@0", "+Docs@0", "+Docs@1", "-(14:05:09) Docsx2",
                                                      "~(14:05:09) Docs", "+C:@1", "~x -> y", "reset"}));
    tree.setObserver(nullptr);
}

namespace {
// The lookup as a linear walk over the children, for comparison with the index.
TNodeId linearFind(const TEventTree& tree, std::string_view segment, TNodeId parent)
{
    for (int row = 0; row < tree.childCount(parent); ++row) {
        const TNodeId child = tree.child(parent, row);
        if (sameText(tree.getText(child), segment))
            return tree.getMark(child) == mkDeleted ? kNoNode : child;
    }
    return kNoNode;
}

void expectConsistent(const TEventTree& tree, const std::vector<std::string>& names)
{
    std::size_t visited = 0;
    std::vector<TNodeId> parents{kNoNode};
    tree.forEachNode([&](TNodeId id, std::uint16_t) {
        ++visited;
        parents.push_back(id);
        ASSERT_TRUE(tree.isValid(id));
        ASSERT_EQ(tree.child(tree.parent(id), tree.row(id)), id);
    });
    ASSERT_EQ(visited, tree.nodeCount());
    for (TNodeId parent : parents)
        for (const std::string& name : names)
            ASSERT_EQ(tree.findChildNode(name, parent), linearFind(tree, name, parent)) << name;
}
} // namespace

TEST(EventTreeIndex, AgreesWithALinearSearchThroughRandomMarksAndRemovals)
{
    const std::vector<std::string> names{"a", "A", "b", "(14:05:09) a", "(14:05:09) A", "a -> b", "A -> B", "b -> a"};
    const int kinds[] = {evCreate, evCreate, evMkDir, evDelete, evRenameFile, evRenameFolder, evRmDir};
    TEventTree tree(nullptr, TPathStyle::Windows, fixedTime);
    std::mt19937 random(11);
    for (int step = 0; step < 3000; ++step) {
        std::string path = random() % 8 == 0 ? "D:" : "C:";
        const int depth = 1 + static_cast<int>(random() % 3);
        for (int level = 0; level < depth; ++level)
            path += "\\" + names[random() % names.size()];
        const std::string target = "X:\\" + names[random() % names.size()];
        tree.addDirectoryFile(path, target, kinds[random() % std::size(kinds)]);
        if (step % 50 == 0)
            expectConsistent(tree, names);
        if (HasFatalFailure())
            return;
    }
    expectConsistent(tree, names);
}
