#include "ViewsTestSupport.h"

#include "events/UntEvents.h"
#include "pipeline/UntTreeRows.h"

#include <map>
#include <random>
#include <set>

namespace {

// Replays the notifications on a list of node ids, the way a view keeps its rows.
class TMirror final : public TTreeRowsObserver {
public:
    explicit TMirror(TTreeRows& rows) : rows_(rows) { rows_.setObserver(this), reload(); }
    ~TMirror() override { rows_.setObserver(nullptr); }

    void beginInsertRows(int first, int count) override { open(first, count, rows_.rowCount()); }
    void endInsertRows() override
    {
        std::vector<TNodeId> added;
        for (int r = first_; r < first_ + count_; ++r)
            added.push_back(rows_.nodeAt(r));
        ids.insert(ids.begin() + first_, added.begin(), added.end());
        close();
    }
    void beginRemoveRows(int first, int count) override
    {
        open(first, count, rows_.rowCount());
        EXPECT_LE(first + count, static_cast<int>(ids.size()));
    }
    void endRemoveRows() override
    {
        ids.erase(ids.begin() + first_, ids.begin() + first_ + count_);
        close();
    }
    void rowChanged(int row) override
    {
        EXPECT_GE(row, 0);
        EXPECT_LT(row, static_cast<int>(ids.size()));
        ++changes;
    }
    void beginReset() override { open(0, 0, static_cast<int>(ids.size())); }
    void endReset() override
    {
        reload();
        close();
    }

    std::vector<TNodeId> ids;
    int changes = 0;
    int inserts = 0;

private:
    void open(int first, int count, int rowsBefore)
    {
        EXPECT_FALSE(inChange_) << "a change inside a change";
        EXPECT_EQ(rowsBefore, static_cast<int>(ids.size())) << "rows changed before the begin call";
        inChange_ = true;
        first_ = first;
        count_ = count;
        ++inserts;
    }
    void close() { inChange_ = false; }
    void reload()
    {
        ids.clear();
        for (int r = 0; r < rows_.rowCount(); ++r)
            ids.push_back(rows_.nodeAt(r));
    }

    TTreeRows& rows_;
    bool inChange_ = false;
    int first_ = 0;
    int count_ = 0;
};

struct Fixture {
    TEventTree tree{std::make_shared<TNullIconSource>(), TPathStyle::Posix, fixedTime};
    TTreeRows rows{tree};
    TMirror mirror{rows};

    // The rows as expected: depth first, below open nodes; when finding, the nodes whose path
    // holds every word and their ancestors, every branch open unless closed meanwhile.
    std::vector<TNodeId> expected() const
    {
        std::vector<TNodeId> out;
        const TFindWords& words = rows.getFindWords();
        std::map<TNodeId, bool> keep;
        tree.forEachNode([&](TNodeId id, std::uint16_t) {
            bool match = words.matchesAny({tree.getNodeFilePath(id)});
            keep[id] = match;
        });
        // A branch is kept when any node in it matches.
        std::function<bool(TNodeId)> holds = [&](TNodeId id) {
            bool any = keep[id];
            for (int k = 0; k < tree.childCount(id); ++k)
                any = holds(tree.child(id, k)) || any;
            return keep[id] = any;
        };
        for (int k = 0; k < tree.childCount(kNoNode); ++k)
            holds(tree.child(kNoNode, k));
        std::function<void(TNodeId)> walk = [&](TNodeId id) {
            if (!keep[id])
                return;
            out.push_back(id);
            if (!rows.isOpen(id))
                return;
            for (int k = 0; k < tree.childCount(id); ++k)
                walk(tree.child(id, k));
        };
        for (int k = 0; k < tree.childCount(kNoNode); ++k)
            walk(tree.child(kNoNode, k));
        return out;
    }

    void check(const std::string& when)
    {
        const std::vector<TNodeId> want = expected();
        ASSERT_EQ(rows.rowCount(), static_cast<int>(want.size())) << when;
        for (int r = 0; r < rows.rowCount(); ++r) {
            ASSERT_EQ(rows.nodeAt(r), want[static_cast<std::size_t>(r)]) << when << ", row " << r;
            ASSERT_EQ(rows.rowOf(want[static_cast<std::size_t>(r)]), r) << when;
        }
        ASSERT_EQ(mirror.ids, want) << when << ": the notifications do not add up to the rows";
    }

    void finish()
    {
        while (!rows.stepFind(TTreeRows::TClock::now() + std::chrono::milliseconds(5))) {
        }
    }
};

// Rows as text: two spaces per depth, the text, "+" for an open node with child rows, "-" for a
// closed one.
std::string printRows(const TTreeRows& rows, const TEventTree& tree)
{
    std::string out;
    for (int r = 0; r < rows.rowCount(); ++r) {
        const TNodeId id = rows.nodeAt(r);
        out += std::string(2u * static_cast<unsigned>(rows.depthOf(id)), ' ') + tree.getText(id);
        if (rows.hasChildRows(id))
            out += rows.isOpen(id) ? " +" : " -";
        out += "\n";
    }
    return out;
}

TEST(TreeRows, NewNodesOpenAsAskedAndTogglesShowOrHideTheirBranch)
{
    Fixture f;
    f.rows.setOpenNewNodes(false);
    f.tree.addDirectoryFile("/home/ann/a.txt", "", evCreate);
    EXPECT_EQ(printRows(f.rows, f.tree), "/ -\n") << "closed nodes show only the top level";

    f.rows.setOpenNewNodes(true);
    f.tree.addDirectoryFile("/home/bob/b.txt", "", evCreate);
    EXPECT_EQ(printRows(f.rows, f.tree), "/ -\n") << "an open node below a closed one stays out of sight";
    const TNodeId top = f.tree.child(kNoNode, 0);
    f.rows.setOpen(top, true);
    const TNodeId home = f.tree.child(top, 0);
    f.rows.setOpen(home, true);
    EXPECT_EQ(printRows(f.rows, f.tree), "/ +\n  home +\n    ann -\n    bob +\n      b.txt\n");
    f.check("after opening");

    f.rows.setOpen(home, false);
    EXPECT_EQ(printRows(f.rows, f.tree), "/ +\n  home -\n");
    f.rows.setOpen(home, true);
    EXPECT_EQ(f.rows.rowOf(f.tree.child(f.tree.child(home, 1), 0)), 4);
    EXPECT_EQ(f.rows.depthOf(f.tree.child(f.tree.child(home, 1), 0)), 3);
    f.check("after closing and opening again");
}

TEST(TreeRows, RemovingABranchKeepsEveryOtherNodesState)
{
    Fixture f;
    f.rows.setOpenNewNodes(true);
    for (const char* path : {"/d/x/1.txt", "/d/y/2.txt", "/d/z/3.txt", "/e/4.txt"})
        f.tree.addDirectoryFile(path, "", evCreate);
    const TNodeId d = f.tree.child(f.tree.child(kNoNode, 0), 0);
    const TNodeId z = f.tree.child(d, 2);
    f.rows.setOpen(z, false);
    const int zRow = f.rows.rowOf(z);

    f.tree.addDirectoryFile("/d/x", "", evRmDir);
    f.check("after removing x's children");
    EXPECT_EQ(f.rows.rowOf(z), zRow - 1) << "one row less above z";
    EXPECT_FALSE(f.rows.isOpen(z));
    EXPECT_EQ(printRows(f.rows, f.tree),
              "/ +\n  d +\n    (14:05:09) x\n    y +\n      2.txt\n    z -\n  e +\n    4.txt\n");
}

TEST(TreeRows, FindShowsTheBranchesWithAMatchAndFollowsNewNodes)
{
    Fixture f;
    f.rows.setOpenNewNodes(false);
    for (const char* path : {"/home/ann/report.odt", "/home/ann/notes.txt", "/home/bob/Report-2.txt", "/srv/x"})
        f.tree.addDirectoryFile(path, "", evCreate);
    f.rows.setFindWords(TFindWords("REPORT"));
    EXPECT_EQ(f.rows.rowCount(), 0) << "nothing before the scan";
    f.finish();
    EXPECT_EQ(printRows(f.rows, f.tree), "/ +\n  home +\n    ann +\n      report.odt\n    bob +\n      Report-2.txt\n");
    f.check("after the scan");

    // Words across the separator, and a folder that matches brings everything below it.
    f.rows.setFindWords(TFindWords("ann/ no"));
    f.finish();
    EXPECT_EQ(printRows(f.rows, f.tree), "/ +\n  home +\n    ann +\n      notes.txt\n");
    f.rows.setFindWords(TFindWords("bob"));
    f.finish();
    f.tree.addDirectoryFile("/home/bob/new/deep.txt", "", evCreate);
    f.tree.addDirectoryFile("/home/ann/late.txt", "", evCreate);
    EXPECT_EQ(printRows(f.rows, f.tree),
              "/ +\n  home +\n    bob +\n      Report-2.txt\n      new +\n        deep.txt\n");
    f.check("nodes added while finding");

    // Leaving find mode brings back the user's own open and closed nodes.
    f.rows.setFindWords(TFindWords());
    EXPECT_EQ(printRows(f.rows, f.tree), "/ -\n");
    f.check("after finding");
}

TEST(TreeRows, ARenameThatMatchesOrNoLongerMatchesMovesItsBranchInOrOut)
{
    Fixture f;
    f.rows.setOpenNewNodes(true);
    f.tree.addDirectoryFile("/p/old/a.txt", "", evCreate);
    f.tree.addDirectoryFile("/p/keep.txt", "", evCreate);
    f.rows.setFindWords(TFindWords("fresh"));
    f.finish();
    EXPECT_EQ(f.rows.rowCount(), 0);
    f.tree.addDirectoryFile("/p/old", "/p/fresh", evRenameFolder);
    EXPECT_EQ(printRows(f.rows, f.tree), "/ +\n  p +\n    old -> fresh +\n      a.txt\n");
    f.check("renamed in");

    f.rows.setFindWords(TFindWords("a.txt"));
    f.finish();
    f.tree.addDirectoryFile("/p/old -> fresh/a.txt", "", evDelete);
    EXPECT_EQ(printRows(f.rows, f.tree), "/ +\n  p +\n    old -> fresh +\n      (14:05:09) a.txt\n");
    f.tree.addDirectoryFile("/p/old -> fresh", "", evRmDir);
    EXPECT_EQ(f.rows.rowCount(), 0) << "a branch kept only for a child goes with its children";
    f.check("removed out");
}

// Random recordings, expanders, finds and removals, each step checked against the reference and
// against the replayed notifications.
TEST(TreeRows, RandomChangesAlwaysAgreeWithTheReference)
{
    for (unsigned seed = 1; seed <= 30; ++seed) {
        Fixture f;
        std::mt19937 rng(seed);
        const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        const auto randomPath = [&] {
            std::string path;
            const int depth = 1 + pick(4);
            for (int i = 0; i < depth; ++i)
                path += "/" + std::string(1, static_cast<char>('a' + pick(4))) + std::to_string(pick(3));
            return path;
        };
        const char* const finds[] = {"", "a1", "B", "a1/b", "1 c", "zz", "/", "b2/", "1/C"};
        for (int step = 0; step < 400; ++step) {
            const int op = pick(20);
            if (op < 9) {
                f.tree.addDirectoryFile(randomPath(), "", evCreate);
            } else if (op < 11) {
                f.tree.addDirectoryFile(randomPath(), "", evRmDir);
            } else if (op < 12) {
                f.tree.addDirectoryFile(randomPath(), "", evDelete);
            } else if (op < 13) {
                f.tree.addDirectoryFile(randomPath(), "/x/c" + std::to_string(pick(3)), evRenameFolder);
            } else if (op < 17 && f.rows.rowCount() > 0) {
                const TNodeId id = f.rows.nodeAt(pick(f.rows.rowCount()));
                f.rows.setOpen(id, !f.rows.isOpen(id));
            } else if (op < 18) {
                f.rows.setOpenNewNodes(pick(2) == 0);
            } else if (op < 19) {
                f.rows.setFindWords(TFindWords(finds[pick(9)]));
            } else {
                // A slice of a second: part of the scan, the rest later among the other changes.
                f.rows.stepFind(TTreeRows::TClock::now());
            }
            if (!f.rows.isFindDone())
                continue; // the reference knows only finished scans
            f.check("seed " + std::to_string(seed) + ", step " + std::to_string(step));
            if (::testing::Test::HasFatalFailure())
                return;
        }
        f.finish();
        f.check("seed " + std::to_string(seed) + " at the end");
        f.tree.clear();
        f.check("after clearing");
        EXPECT_EQ(f.rows.rowCount(), 0);
    }
}

} // namespace
