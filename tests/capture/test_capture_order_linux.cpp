// Where events found late go: the findings of a folder scan among the inotify events read around
// it, and the delete of a create and delete fanotify merged into one record.
#include "capture/UntMergedDeletes_linux.h"
#include "capture/UntScanOrder_linux.h"
#include "events/UntEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;
using TVerdict = TScanOrder::TVerdict;

const TClock::time_point t0 = TClock::time_point(1000s);

TItemObj item(int eventNum, const std::string& path)
{
    return TItemObj(path, "", eventNum);
}

// "Create a" for each item, comparable as a list.
std::vector<std::string> printed(const std::vector<TItemObj>& items)
{
    std::vector<std::string> lines;
    for (const TItemObj& each : items)
        lines.push_back(getEventName(each.getEventNum()) + " " + each.getItem1() +
                        (each.getItem2().empty() ? "" : " -> " + each.getItem2()));
    return lines;
}

TEST(PlacedItems, EachGoesBeforeItsIndexInOrder)
{
    std::vector<TItemObj> items = {item(evCreate, "a"), item(evCreate, "b"), item(evCreate, "c")};
    std::vector<TPlacedItem> placed = {{1, item(evDelete, "x")}, {1, item(evDelete, "y")}, {3, item(evDelete, "z")}};
    insertPlaced(items, placed);
    EXPECT_EQ(printed(items),
              (std::vector<std::string>{"Create a", "Delete x", "Delete y", "Create b", "Create c", "Delete z"}));
    EXPECT_TRUE(placed.empty());
}

// The folder sub (watch 7) is new: its watch comes at once, its scan once the queue is empty.
class ScanOrder : public ::testing::Test {
protected:
    TScanOrder order;
    std::vector<TItemObj> items;
    void SetUp() override
    {
        items.push_back(item(evMkDir, "sub"));
        order.awaitScan(7);
    }
    // The scan finds these entries of sub.
    void scan(const std::vector<std::string>& names)
    {
        for (const std::string& name : names)
            if (order.reports(7, name))
                order.found(7, name, items.size(), item(evCreate, "sub/" + name));
        order.scanned(7);
    }
};

TEST_F(ScanOrder, FindingsGoAfterWhatWasReadBeforeTheScanAndBeforeWhatCameAfter)
{
    items.push_back(item(evRenameFile, "a.txt")); // read before the scan
    scan({"c.dat"});
    EXPECT_EQ(order.kernelEvent(1, "b.txt", true, t0), TVerdict::Report);
    items.push_back(item(evCreate, "b.txt")); // read after the scan
    order.settle(items, t0);
    EXPECT_EQ(printed(items),
              (std::vector<std::string>{"New Directory sub", "Rename File a.txt", "Create sub/c.dat", "Create b.txt"}));
}

TEST_F(ScanOrder, TheKernelsCreateAfterTheScanTakesThePlaceOfTheFinding)
{
    scan({"late", "early"});
    items.push_back(item(evRenameFile, "x"));
    // "late" came after the watch: the kernel reports it in its place.
    EXPECT_EQ(order.kernelEvent(7, "late", true, t0), TVerdict::Report);
    items.push_back(item(evCreate, "sub/late"));
    // Anything else about "early" shows it was there before the watch: its finding stays first.
    EXPECT_EQ(order.kernelEvent(7, "early", false, t0), TVerdict::Report);
    items.push_back(item(evDelete, "sub/early"));
    order.settle(items, t0);
    EXPECT_EQ(printed(items), (std::vector<std::string>{"New Directory sub", "Create sub/early", "Rename File x",
                                                        "Create sub/late", "Delete sub/early"}));
    // Reported by the scan: the kernel's create for it, should it still come, is not doubled.
    EXPECT_EQ(order.kernelEvent(7, "early", true, t0 + 10ms), TVerdict::Drop);
    EXPECT_EQ(order.kernelEvent(7, "early", true, t0 + 20ms), TVerdict::Report);
}

TEST_F(ScanOrder, BeforeTheScanTheKernelsEventsDecideWhatTheScanReports)
{
    // Made after the watch: reported by the kernel, skipped by the scan.
    EXPECT_EQ(order.kernelEvent(7, "new", true, t0), TVerdict::Report);
    // Written or removed without a create seen: it was there before the watch.
    EXPECT_EQ(order.kernelEvent(7, "old", false, t0), TVerdict::ReportAfterCreate);
    EXPECT_EQ(order.kernelEvent(7, "old", false, t0), TVerdict::Report);
    EXPECT_TRUE(order.awaitsScan(7));
    scan({"new", "old", "quiet"});
    EXPECT_FALSE(order.awaitsScan(7));
    order.settle(items, t0);
    EXPECT_EQ(printed(items), (std::vector<std::string>{"New Directory sub", "Create sub/quiet"}));
}

TEST_F(ScanOrder, AnEntryGoneBetweenTheLastReadAndTheScanStillGetsItsCreate)
{
    scan({"kept"});
    // Removed after the queue was last emptied, before the scan read the folder: the scan never
    // saw it, the kernel never said it was made.
    EXPECT_EQ(order.kernelEvent(7, "gone", false, t0), TVerdict::ReportAfterCreate);
    EXPECT_EQ(order.kernelEvent(7, "fresh", true, t0), TVerdict::Report);
    EXPECT_EQ(order.kernelEvent(7, "fresh", false, t0), TVerdict::Report);
    order.settle(items, t0);
    // Once the queue has been emptied again, the folder is like any other.
    EXPECT_EQ(order.kernelEvent(7, "other", false, t0), TVerdict::Report);
}

TEST_F(ScanOrder, ARememberedFindingExpiresAfterASecondAndADeleteForgetsIt)
{
    scan({"a", "b"});
    order.settle(items, t0);
    EXPECT_EQ(order.kernelEvent(7, "a", false, t0 + 1ms), TVerdict::Report); // deleted
    EXPECT_EQ(order.kernelEvent(7, "a", true, t0 + 2ms), TVerdict::Report);  // made again: new
    EXPECT_EQ(order.kernelEvent(7, "b", true, t0 + 1001ms), TVerdict::Report);
}

// A merged record's delete, as TFanotifyBackend hands it over: folder keys are the folder names.
TMergedDeletes::TDelete merged(const std::string& folder, const std::string& name, bool isFolder, std::size_t at)
{
    return {folder, folder + "/" + name, name, folder + "/" + name, isFolder, 1, at};
}

class MergedDeletes : public ::testing::Test {
protected:
    TMergedDeletes deletes;
    std::vector<TItemObj> items;
    std::string renamedTo; // the folder "sub" after a rename, for the paths of late deletes
    void emit(const TMergedDeletes::TDelete& entry)
    {
        std::string folder = entry.folderKey == "sub" && !renamedTo.empty() ? renamedTo : entry.folderKey;
        items.push_back(item(entry.folder ? evRmDir : evDelete, folder + "/" + entry.name));
    }
    void settle()
    {
        deletes.settle(
            items, [&](const auto& entry) { emit(entry); },
            [&](const auto& entry) -> std::optional<TItemObj> {
                return item(entry.folder ? evRmDir : evDelete, entry.path);
            });
    }
};

TEST_F(MergedDeletes, ADeleteNothingLaterContradictsStaysWhereTheKernelPutIt)
{
    // create c.dat + delete c.dat merged; then sub renamed: nothing shows c.dat lasted.
    items.push_back(item(evCreate, "sub/c.dat"));
    deletes.add(merged("sub", "c.dat", false, items.size()));
    deletes.seen("root", "sub");
    renamedTo = "sub2";
    items.push_back(item(evRenameFolder, "sub"));
    settle();
    EXPECT_EQ(printed(items), (std::vector<std::string>{"Create sub/c.dat", "Delete sub/c.dat", "Rename Folder sub"}));
}

TEST_F(MergedDeletes, AFolderThatHeldLaterEventsIsRemovedAfterThemInnermostFirst)
{
    // mkdir a; mkdir a/b; : > a/b/f; (each merged with its removal); then a/b/f written by another
    // process, and a's folder removed: a and b lasted, f lasted.
    items.push_back(item(evMkDir, "p/a"));
    deletes.add(merged("p", "a", true, items.size()));
    deletes.seen("p/a", "p/a/b");
    items.push_back(item(evMkDir, "p/a/b"));
    deletes.add(merged("p/a", "b", true, items.size()));
    deletes.seen("p/a/b", "p/a/b/f");
    items.push_back(item(evCreate, "p/a/b/f"));
    deletes.add(merged("p/a/b", "f", false, items.size()));
    deletes.seen("p/a/b", "p/a/b/f"); // written later
    items.push_back(item(evUpdateFile, "p/a/b/f"));
    // p itself is removed: everything inside goes first, innermost first.
    deletes.beforeRemoval("p", [&](const auto& entry) { emit(entry); });
    items.push_back(item(evRmDir, "p"));
    settle();
    EXPECT_EQ(printed(items),
              (std::vector<std::string>{"New Directory p/a", "New Directory p/a/b", "Create p/a/b/f",
                                        "Update File p/a/b/f", "Delete p/a/b/f", "Delete Directory p/a/b",
                                        "Delete Directory p/a", "Delete Directory p"}));
}

TEST_F(MergedDeletes, ARenamedEntryIsDeletedUnderItsNewNameBeforeItsNameIsMadeAgain)
{
    items.push_back(item(evCreate, "sub/x"));
    deletes.add(merged("sub", "x", false, items.size()));
    deletes.renamed("sub/x", "sub", "y");
    items.push_back(item(evRenameFile, "sub/x"));
    deletes.beforeCreate("sub", "y", [&](const auto& entry) { emit(entry); });
    items.push_back(item(evCreate, "sub/y"));
    settle();
    EXPECT_EQ(printed(items),
              (std::vector<std::string>{"Create sub/x", "Rename File sub/x", "Delete sub/y", "Create sub/y"}));
    EXPECT_TRUE(deletes.empty());
}

} // namespace
