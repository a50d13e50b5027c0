#include "ViewsTestSupport.h"

#include "events/UntEvents.h"
#include "pipeline/UntMarks.h"

#include <memory>

namespace {

class WindowsList : public ::testing::Test {
protected:
    std::shared_ptr<TFakeIcons> icons = std::make_shared<TFakeIcons>();
    TEventList list{icons, TPathStyle::Windows};

    std::vector<std::string> columns(std::size_t row) const
    {
        std::vector<std::string> out;
        for (int c = 0; c < 4; ++c)
            out.push_back(list.getColumnText(row, c));
        return out;
    }
};

using Columns = std::vector<std::string>;

} // namespace

TEST_F(WindowsList, CreateRowHasItsColumnsIconsAndGreenMark)
{
    list.addListItem(TItemObj("C:\\Docs\\a.txt", "", evCreate));
    ASSERT_EQ(list.rowCount(), 1u);
    EXPECT_EQ(columns(0), (Columns{"a.txt", "-", "Create", "C:\\Docs\\"}));
    EXPECT_EQ(list.getMark(0), mkCreated);
    EXPECT_EQ(listMarkColour(list.getMark(0)), kCreatedColour);
    EXPECT_EQ(list.getRowIcon(0), TFakeIcons::kExt);
    EXPECT_EQ(list.getWorkPathIcon(0), TFakeIcons::kPath);
    EXPECT_EQ(icons->calls, (std::vector<std::string>{"ext:C:\\Docs\\a.txt", "path:C:\\Docs\\"}));
}

TEST_F(WindowsList, DriveRootsEmptyAndBlankPaths)
{
    list.addListItem("E:\\", "", evDriveAdd);
    EXPECT_EQ(columns(0), (Columns{"E:\\", "-", "Adding Drive", "E:\\"}));
    EXPECT_EQ(list.getRowIcon(0), TFakeIcons::kWinDir);

    list.addListItem("", "", evUpdateDir);
    EXPECT_EQ(columns(1), (Columns{"-", "-", "Update Directory", ""}));

    list.addListItem("  ", "\t", evAttributes);
    EXPECT_EQ(columns(2), (Columns{"-", "-", "Attributes", ""}));

    // A file name stops at ':' too; a second path that is only a folder gives an empty "To".
    list.addListItem("C:a.txt", "D:\\dir\\", evRenameFolder);
    EXPECT_EQ(columns(3), (Columns{"a.txt", "", "Rename Folder", "C:"}));
}

TEST_F(WindowsList, RenameShowsTheNewNameInBlue)
{
    list.addListItem("C:\\Docs\\a.txt", "C:\\Docs\\b.txt", evRenameFile);
    EXPECT_EQ(columns(0), (Columns{"a.txt", "b.txt", "Rename File", "C:\\Docs\\"}));
    EXPECT_EQ(list.getMark(0), mkRenamed);
    EXPECT_EQ(list.getItem1(0), "C:\\Docs\\a.txt");
    EXPECT_EQ(list.getItem2(0), "C:\\Docs\\b.txt");
}

TEST(EventListMarks, EachKindHasItsMarkAndColour)
{
    for (int n = -1; n <= kEventCount; ++n) {
        int expected = mkNone;
        if (n == evCreate || n == evMkDir)
            expected = mkCreated;
        else if (n == evDelete || n == evRmDir)
            expected = mkDeleted;
        else if (n == evRenameFile || n == evRenameFolder)
            expected = mkRenamed;
        EXPECT_EQ(listMarkOf(n), expected) << n;
    }
    EXPECT_EQ(listMarkColour(mkRenamed), (TRgb{0, 0, 255}));
    EXPECT_EQ(listMarkColour(mkDeleted), (TRgb{255, 0, 0}));
    EXPECT_EQ(listMarkColour(mkCreated), (TRgb{0, 128, 0}));
    EXPECT_FALSE(listMarkColour(mkNone).has_value());
    EXPECT_FALSE(treeMarkColour(mkCreated).has_value());
    EXPECT_EQ(treeMarkColour(mkDeleted), kDeletedColour);

    TEventList list;
    list.addListItem("x", "", 99);
    EXPECT_EQ(list.getAction(0), "Unknown");
    EXPECT_EQ(list.getMark(0), mkNone);
}

TEST(EventListPosix, FileAndFolderFollowTheSlash)
{
    TEventList list(nullptr, TPathStyle::Posix);
    list.addListItem("/home/u/a:b.txt", "", evUpdateFile);
    list.addListItem("/", "", evDriveAdd);
    EXPECT_EQ(list.getFrom(0), "a:b.txt");
    EXPECT_EQ(list.getWorkPath(0), "/home/u/");
    EXPECT_EQ(list.getFrom(1), "/");
    EXPECT_EQ(list.getWorkPath(1), "/");
}

TEST(EventListOrigin, KeepsTimePidAndProcessOfEveryRow)
{
    TEventList list;
    const auto when = std::chrono::system_clock::time_point(std::chrono::seconds(1767323045));
    std::vector<TItemObj> items;
    items.emplace_back("/a", "", evCreate, TEventOrigin{when, 42, "mv"});
    items.emplace_back("/b", "", evCreate, TEventOrigin{when + std::chrono::seconds(1), 43, "cp"});
    items.emplace_back("/c", "", evCreate, TEventOrigin{when, 44, "mv"});
    items.emplace_back("/d", "", evCreate);
    list.addListItems(items);
    ASSERT_EQ(list.rowCount(), 4u);
    EXPECT_EQ(list.getOrigin(1).time, when + std::chrono::seconds(1));
    EXPECT_EQ(list.getOrigin(1).pid, 43);
    EXPECT_EQ(list.getOrigin(1).process, "cp");
    EXPECT_EQ(list.getOrigin(2).process, "mv");
    EXPECT_EQ(list.getOrigin(3).pid, 0);
    EXPECT_EQ(list.getOrigin(3).process, "");
    EXPECT_EQ(list.getItem1(3), "/d");
}

TEST(EventListStorage, LongAndManyPathsSurviveBlockBoundaries)
{
    TEventList list(nullptr, TPathStyle::Posix);
    const std::string huge = "/" + std::string(3u << 20, 'h') + "/f";
    for (int i = 0; i < 3000; ++i) {
        const std::string path = "/d" + std::to_string(i) + "/" + std::string(500, 'x') + std::to_string(i);
        list.addListItem(path, i % 2 ? path + "2" : "", evCreate);
        if (i == 1500)
            list.addListItem(huge, "", evCreate);
    }
    ASSERT_EQ(list.rowCount(), 3001u);
    EXPECT_EQ(list.getItem1(0), "/d0/" + std::string(500, 'x') + "0");
    EXPECT_EQ(list.getItem1(1501), huge);
    EXPECT_EQ(list.getFrom(1501), "f");
    EXPECT_EQ(list.getTo(3000), std::string(500, 'x') + "29992");
    list.clear();
    EXPECT_EQ(list.rowCount(), 0u);
}

namespace {
class TRecordingListObserver final : public TListObserver {
public:
    explicit TRecordingListObserver(const TEventList& list) : list_(list) {}
    void beginInsertRows(int firstRow, int count) override
    {
        EXPECT_FALSE(inside_);
        inside_ = true;
        EXPECT_EQ(static_cast<int>(list_.rowCount()), firstRow);
        expected_ = firstRow + count;
        log.push_back("+" + std::to_string(firstRow) + "x" + std::to_string(count));
    }
    void endInsertRows() override
    {
        EXPECT_TRUE(inside_);
        inside_ = false;
        EXPECT_EQ(static_cast<int>(list_.rowCount()), expected_);
    }
    void beginReset() override
    {
        EXPECT_FALSE(inside_);
        inside_ = true;
        log.push_back("reset");
    }
    void endReset() override
    {
        EXPECT_TRUE(inside_);
        inside_ = false;
        EXPECT_EQ(list_.rowCount(), 0u);
    }
    std::vector<std::string> log;

private:
    const TEventList& list_;
    int expected_ = 0;
    bool inside_ = false;
};
} // namespace

TEST_F(WindowsList, ObserverSeesPairedCalls)
{
    TRecordingListObserver observer(list);
    list.setObserver(&observer);
    list.addListItem("C:\\a", "", evCreate);
    const std::vector<TItemObj> items{TItemObj("C:\\b", "", evCreate), TItemObj("C:\\c", "", evDelete)};
    list.addListItems(items);
    list.addListItems({});
    list.clear();
    EXPECT_EQ(observer.log, (std::vector<std::string>{"+0x1", "+1x2", "reset"}));
    list.setObserver(nullptr);
}
