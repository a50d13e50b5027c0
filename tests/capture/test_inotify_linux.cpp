// What only the recursive inotify backend has to get right: folders that appear faster than
// their watches, renamed folders, moves across the edge of the tree, the watch limit, and the
// per-filesystem fallback of the fanotify backend.
#include "capture/UntInotifyBackend_linux.h"

#include "test_capture_fixture_linux.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

class InotifyRecording : public TCaptureFixture, public ::testing::Test {
protected:
    void TearDown() override { stopRecording(); }
};

class InotifyCapture : public InotifyRecording {
protected:
    void SetUp() override
    {
        const std::string skip = startRecording(chooseBackend(TBackendKind::Inotify));
        ASSERT_TRUE(skip.empty()) << skip;
    }
};

TEST_F(InotifyCapture, ADeepFolderMadeInOneGoGivesEveryEventOnceParentsFirst)
{
    // Repeated, since the folders race their watches differently each time. What a scan finds
    // goes after everything read before the scan, so a later tree's events may come between a
    // tree's own; within one tree the order is the order they were made.
    std::string script = "true";
    std::vector<std::vector<TSeen>> trees;
    for (int i = 0; i < 20; ++i) {
        const std::string a = "a" + std::to_string(i);
        script += " && mkdir -p " + a + "/b/c/d && : > " + a + "/b/c/d/f";
        trees.emplace_back();
        for (const std::string& path : {a, a + "/b", a + "/b/c", a + "/b/c/d"})
            trees.back().emplace_back(evMkDir, path, "");
        trees.back().emplace_back(evCreate, a + "/b/c/d/f", "");
    }
    const auto seen = record(script);
    EXPECT_EQ(seen.size(), 20u * 5u);
    for (int i = 0; i < 20; ++i) {
        const std::string a = "a" + std::to_string(i);
        std::vector<TSeen> tree;
        std::copy_if(seen.begin(), seen.end(), std::back_inserter(tree),
                     [&](const TSeen& s) { return std::get<1>(s) == a || std::get<1>(s).rfind(a + "/", 0) == 0; });
        EXPECT_EQ(tree, trees[i]);
    }
    expectNothingLost();
}

// A folder moved into the tree whole is scanned, and all it holds is found by the scan. On a
// tmpfs, which lists a folder newest first and numbers entries in the order they are made.
TEST_F(InotifyRecording, WhatAFolderMovedInHoldsComesInTheOrderItWasMade)
{
    if (!runningAsRoot())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const TTestTmpfs tmpfs(folder.path(), "size=4m");
    ASSERT_TRUE(tmpfs.mounted()) << tmpfs.error();
    // Outside the root but on its filesystem, so that the move is a rename.
    ASSERT_TRUE(runShell(folder.path(), "mkdir tree out").succeeded());
    root = folder.path() + "/tree";
    ASSERT_EQ(startRecording(chooseBackend(TBackendKind::Inotify)), "");
    std::string script = "mkdir out/m out/m/s";
    std::vector<TSeen> expected{{evMkDir, "tree/m", ""}, {evMkDir, "tree/m/s", ""}};
    for (const char* name : {"c", "a", "e", "b", "d"}) {
        script += std::string(" && : > out/m/") + name;
        expected.emplace_back(evCreate, std::string("tree/m/") + name, "");
    }
    script += " && : > out/m/s/later && mv out/m tree/m";
    expected.emplace_back(evCreate, "tree/m/s/later", ""); // a level below: its own scan, after
    EXPECT_EQ(record(script), expected);
    expectNothingLost();
}

TEST_F(InotifyCapture, AFileInARenamedFolderHasTheNewPath)
{
    const auto seen = record("mkdir -p x/s && : > x/s/f && mv x y && echo more >> y/s/f && mkdir y/s/t && : > y/s/t/g");
    std::vector<TSeen> expected = {{evMkDir, "x", ""},         {evMkDir, "x/s", ""},        {evCreate, "x/s/f", ""},
                                   {evRenameFolder, "x", "y"}, {evUpdateFile, "y/s/f", ""}, {evMkDir, "y/s/t", ""},
                                   {evCreate, "y/s/t/g", ""}};
    if (seen != expected && seen.size() > 1 && seen[1] == TSeen{evRenameFolder, "x", "y"}) {
        expected = scannedAfterRename(expected, "x", "y");
        if (seen.size() == expected.size() - 1) // and f was written before s had its watch
            expected.erase(expected.begin() + 4);
    }
    EXPECT_EQ(seen, expected);
    expectNothingLost();
}

TEST_F(InotifyCapture, MovesIntoAndOutOfTheTree)
{
    TTempFolder outside;
    const std::string out = "'" + outside.path() + "'";
    // In: a create and the content. Out: a delete, and nothing more from where it went.
    const auto seen = record("mkdir -p " + out + "/m/n && : > " + out + "/m/n/f && : > " + out + "/g && mv " + out +
                             "/m m && mv " + out + "/g g && : > m/n/h && mv m " + out + "/m2 && mv g " + out +
                             "/g2 && : > " + out + "/m2/late && : > after");
    std::vector<TSeen> expected{{evMkDir, "m", ""},  {evMkDir, "m/n", ""},    {evCreate, "m/n/f", ""},
                                {evCreate, "g", ""}, {evCreate, "m/n/h", ""}, {evRmDir, "m", ""},
                                {evDelete, "g", ""}, {evCreate, "after", ""}};
    if (seen.size() > 1 && seen[1] == expected[3]) // m's scan ran once g's move was read
        std::rotate(expected.begin() + 1, expected.begin() + 3, expected.begin() + 4);
    EXPECT_EQ(seen, expected);
    expectNothingLost();
}

TEST_F(InotifyCapture, FoldersThereBeforeTheRecordingAreWatchedToo)
{
    stopRecording();
    std::filesystem::create_directories(folder.path() + "/p/q/r");
    TCollectingSink second;
    TShellMonitor monitor2(
        invoker, settings, view, second, chooseBackend(TBackendKind::Inotify),
        [this] { return std::vector<std::string>{folder.path()}; }, std::chrono::milliseconds(50));
    monitor2.start();
    ASSERT_TRUE(monitor2.waitRecording());
    // The walk below the root runs in the loop: new files go in until one is reported.
    const std::string target = folder.path() + "/p/q/r/";
    bool seen = false;
    for (int i = 0; i < 2000 && !seen; ++i) {
        ASSERT_TRUE(runShell(folder.path(), ": > p/q/r/f" + std::to_string(i)).succeeded());
        seen = second.waitUntilFor(std::chrono::milliseconds(100), [&](const auto& items) {
            return std::any_of(items.begin(), items.end(),
                               [&](const TItemObj& item) { return item.getItem1().rfind(target, 0) == 0; });
        });
    }
    monitor2.stop();
    monitor2.wait();
    EXPECT_TRUE(seen);
    EXPECT_EQ(monitor2.counters().lostEvents(), 0u);
}

TEST_F(InotifyRecording, AWatchLimitLeavesFoldersUnwatchedAndSaysHowMany)
{
    std::string whyNot;
    auto backend = openInotifyBackend(whyNot, TInotifyOptions{3});
    ASSERT_TRUE(backend) << whyNot;
    ASSERT_EQ(startRecording({std::move(backend), "limited"}), "");
    TTempFolder outside;
    const std::string out = "'" + outside.path() + "'";
    // Moved in whole: the root and a, a/b get watches; a/b/c, a/b/c/d and a/b/c/d/e do not.
    const auto has = [this](const std::string& relativePath) {
        return sink.waitUntil([&](const std::vector<TItemObj>& items) {
            return std::any_of(items.begin(), items.end(), [&](const TItemObj& item) {
                return item.getItem1() == folder.path() + "/" + relativePath;
            });
        });
    };
    ASSERT_TRUE(
        runShell(folder.path(), "mkdir -p " + out + "/a/b/c/d/e && mv " + out + "/a a && : > a/b/x").succeeded());
    ASSERT_TRUE(has("a/b/x")); // the move in, with its scan, is decoded by now
    ASSERT_TRUE(runShell(folder.path(), ": > a/b/c/d/e/unseen && : > a/b/y").succeeded());
    ASSERT_TRUE(has("a/b/y"));
    const auto seen = stopAndCollect();
    // Folders not watched, and no event called lost for them.
    EXPECT_EQ(monitor->counters().foldersNotWatched, 3u);
    EXPECT_EQ(monitor->counters().lostEvents(), 0u);
    EXPECT_EQ(monitor->counters().refusedRoots, 0u);
    const auto warnings = monitor->backendWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("3 folders stay unwatched"), std::string::npos) << warnings[0];
    // The folders are still reported, by the scan that found them; only what happens in them is missed.
    EXPECT_NE(std::find(seen.begin(), seen.end(), TSeen{evMkDir, "a/b/c/d/e", ""}), seen.end());
    EXPECT_EQ(std::find(seen.begin(), seen.end(), TSeen{evCreate, "a/b/c/d/e/unseen", ""}), seen.end());
}

TEST(InotifyOverflow, IsCountedSaidWithTheSettingThatHelpsAndFollowedByARescan)
{
    long limit = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
    if (limit <= 0 || limit > 200000)
        GTEST_SKIP() << "the kernel queues " << limit << " events: too many to overflow here";
    TTempFolder folder;
    std::string whyNot;
    auto backend = openInotifyBackend(whyNot, TInotifyOptions{0, false});
    ASSERT_TRUE(backend) << whyNot;
    TItemsSink sink;
    backend->open(sink);
    TEventKinds kinds;
    kinds.fill(true);
    ASSERT_TRUE(backend->addWatch(folder.path(), kinds));
    backend->serve(false); // watches what is there
    // Nobody reads meanwhile: one event more than the queue holds, and a folder whose create is lost.
    for (long i = 0; i <= limit; ++i)
        TFdObj(::open(folder.path("f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ASSERT_EQ(::mkdir(folder.path("late").c_str(), 0755), 0);
    backend->serve(true);

    EXPECT_EQ(backend->counters().overflows, 1u);
    EXPECT_EQ(sink.items_.size(), static_cast<std::size_t>(limit) + 1); // the creates kept, then the root
    EXPECT_EQ(sink.items_.back(), (TSeen{evUpdateDir, folder.path(), ""}));
    const auto warnings = backend->warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("fs.inotify.max_queued_events"), std::string::npos) << warnings[0];
    // The rescan after the overflow has watched the folder made meanwhile.
    ASSERT_EQ(::mkdir(folder.path("late/seen").c_str(), 0755), 0);
    backend->serve(true);
    EXPECT_EQ(sink.items_.back(), (TSeen{evMkDir, folder.path("late/seen"), ""}));
}

// An overlay without file handles refuses a whole-filesystem fanotify mark: the automatic choice
// watches that root with inotify in the same loop and says why.
TEST(FanotifyFallback, ARootWhoseFilesystemRefusesAMarkIsWatchedWithInotify)
{
    TTempFolder base;
    if (!runShell(base.path(), "mkdir lower upper work merged && mount -t overlay overlay "
                               "-o lowerdir=lower,upperdir=upper,workdir=work,nfs_export=off merged 2>/dev/null")
             .succeeded())
        GTEST_SKIP() << "an overlay cannot be mounted here";
    struct TUnmount {
        std::string path;
        ~TUnmount() { runShell("/", "umount '" + path + "'"); }
    } unmount{base.path() + "/merged"};

    TBackendChoice choice = chooseBackend(TBackendKind::Auto);
    ASSERT_TRUE(choice.backend) << choice.reason;
    if (choice.backend->name() != "fanotify")
        GTEST_SKIP() << "fanotify is not permitted: " << choice.reason;
    TCallLog log;
    TMarkingInvoker invoker;
    TFakeSettings settings{log};
    TFakeView view{log};
    TCollectingSink sink;
    settings.events.assign(kEventCount, true);
    for (int kind :
         {evDriveAdd, evDriveAddGui, evDriveRemoved, evMediaInserted, evMediaRemoved, evNetShare, evNetUnshare})
        settings.events[kind] = false; // mounts elsewhere are not this case's business
    TShellMonitor monitor(
        invoker, settings, view, sink, std::move(choice), [&] { return std::vector<std::string>{unmount.path}; },
        std::chrono::milliseconds(50));
    monitor.start();
    ASSERT_TRUE(monitor.waitRecording());
    const auto warnings = monitor.backendWarnings();
    if (warnings.empty())
        GTEST_SKIP() << "fanotify accepted a mark on the overlay";
    EXPECT_NE(warnings[0].find("using recursive inotify"), std::string::npos) << warnings[0];
    EXPECT_EQ(monitor.counters().refusedRoots, 0u);
    ASSERT_TRUE(runShell(unmount.path, "mkdir d && : > d/f && mv d/f d/g").succeeded());
    monitor.stop();
    monitor.wait();
    std::vector<TSeen> seen;
    for (const TItemObj& item : sink.items())
        seen.emplace_back(item.getEventNum(), item.getItem1(), item.getItem2());
    const std::string m = unmount.path + "/";
    // When f was made and renamed before d got its watch, d's scan finds g.
    const std::vector<TSeen> raced{{evMkDir, m + "d", ""}, {evCreate, m + "d/g", ""}};
    if (seen != raced) {
        EXPECT_EQ(seen, (std::vector<TSeen>{
                            {evMkDir, m + "d", ""}, {evCreate, m + "d/f", ""}, {evRenameFile, m + "d/f", m + "d/g"}}));
    }
}

} // namespace
