// Drives coming and going while recording, with real loop-mounted images made here. Cases skip
// where mounting is not permitted.
#include "test_capture_fixture_linux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

// An ext4 image in folder, mounted at folder/name while it is held.
class TLoopMount {
public:
    TLoopMount(const std::string& folder, const std::string& name) : folder_(folder), name_(name)
    {
        made_ =
            runShell(folder_, "truncate -s 8M " + name_ + ".img && mkfs.ext4 -q " + name_ + ".img && mkdir -p " + name_)
                .succeeded();
    }
    ~TLoopMount() { unmount(); }
    TLoopMount(const TLoopMount&) = delete;
    TLoopMount& operator=(const TLoopMount&) = delete;
    bool mount()
    {
        mounted_ = made_ && runShell(folder_, "mount -o loop " + name_ + ".img " + name_ + " 2>/dev/null").succeeded();
        return mounted_;
    }
    bool unmount()
    {
        if (!mounted_)
            return true;
        mounted_ = !runShell(folder_, "umount " + name_).succeeded();
        return !mounted_;
    }
    // The drive pulled out while in use: the mount detached at once, the loop device let go.
    bool yank()
    {
        if (!mounted_)
            return false;
        mounted_ = !runShell(folder_, "dev=$(findmnt -n -o SOURCE " + name_ + ") && umount -l " + name_ +
                                          " && losetup -d \"$dev\" 2>/dev/null; ! mountpoint -q " + name_)
                        .succeeded();
        return !mounted_;
    }
    std::string path() const { return folder_ + "/" + name_; }

private:
    std::string folder_;
    std::string name_;
    bool made_ = false;
    bool mounted_ = false;
};

class DriveEvents : public TCaptureFixture, public ::testing::TestWithParam<TBackendKind> {
protected:
    void TearDown() override { stopRecording(); }
    bool waitFor(int eventNum, const std::string& item1)
    {
        return sink.waitUntil([&](const std::vector<TItemObj>& items) {
            return std::any_of(items.begin(), items.end(), [&](const TItemObj& item) {
                return item.getEventNum() == eventNum && item.getItem1() == item1;
            });
        });
    }
};

TEST_P(DriveEvents, ALoopMountIsAddedAndRemoved)
{
    TLoopMount probe(folder.path(), "probe");
    if (!probe.mount())
        GTEST_SKIP() << "loop mounts are not permitted here";
    ASSERT_TRUE(probe.unmount());
    const std::string skip = startRecording(chooseBackend(GetParam()), true);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    TLoopMount disk(folder.path(), "disk");
    ASSERT_TRUE(disk.mount());
    EXPECT_TRUE(waitFor(evDriveAdd, disk.path() + "/"));
    ASSERT_TRUE(disk.unmount());
    EXPECT_TRUE(waitFor(evDriveRemoved, disk.path() + "/"));
    stopRecording();
    EXPECT_TRUE(monitor->getFailure().empty());
    EXPECT_EQ(monitor->counters().lostEvents(), 0u);
}

// Recording the drives (the roots are mount points): a drive mounted later is watched from then
// on, and every drive can still be unmounted while the recording runs.
TEST_P(DriveEvents, ADriveMountedDuringTheRecordingIsWatchedAndLetGo)
{
    TLoopMount first(folder.path(), "first");
    if (!first.mount())
        GTEST_SKIP() << "loop mounts are not permitted here";
    TBackendChoice choice = chooseBackend(GetParam());
    if (!choice.backend)
        GTEST_SKIP() << choice.reason;
    settings.events.assign(kEventCount, true);
    monitor = std::make_unique<TShellMonitor>(
        invoker, settings, view, sink, std::move(choice), [&] { return std::vector<std::string>{first.path()}; },
        std::chrono::milliseconds(50));
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    ASSERT_EQ(monitor->counters().refusedRoots, 0u) << monitor->backendWarnings().front();

    TLoopMount second(folder.path(), "second");
    ASSERT_TRUE(second.mount());
    ASSERT_TRUE(waitFor(evDriveAdd, second.path() + "/"));
    ASSERT_TRUE(runShell(second.path(), "mkdir new && : > new/file").succeeded());
    EXPECT_TRUE(waitFor(evCreate, second.path() + "/new/file"));
    ASSERT_TRUE(second.unmount()) << "the recording holds the drive";
    EXPECT_TRUE(waitFor(evDriveRemoved, second.path() + "/"));
    ASSERT_TRUE(first.unmount()) << "the recording holds the drive";
    EXPECT_TRUE(waitFor(evDriveRemoved, first.path() + "/"));
    stopRecording();
    EXPECT_TRUE(monitor->getFailure().empty());
    EXPECT_EQ(monitor->counters().lostEvents(), 0u);
}

// A drive pulled out during a recording, a file on it still open: "Drive removed", and the
// recording goes on with the other roots.
TEST_P(DriveEvents, AnUnpluggedDriveIsRemovedAndTheRecordingGoesOn)
{
    TLoopMount drive(folder.path(), "usb");
    if (!drive.mount())
        GTEST_SKIP() << "loop mounts are not permitted here";
    const std::string elsewhere = folder.path() + "/elsewhere";
    ASSERT_TRUE(runShell(folder.path(), "mkdir elsewhere").succeeded());
    TBackendChoice choice = chooseBackend(GetParam());
    if (!choice.backend)
        GTEST_SKIP() << choice.reason;
    settings.events.assign(kEventCount, true);
    monitor = std::make_unique<TShellMonitor>(
        invoker, settings, view, sink, std::move(choice),
        [&] {
            return std::vector<std::string>{drive.path(), elsewhere};
        },
        std::chrono::milliseconds(50));
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    ASSERT_TRUE(runShell(drive.path(), ": > busy").succeeded());
    ASSERT_TRUE(waitFor(evCreate, drive.path() + "/busy"));
    {
        std::ifstream held(drive.path() + "/busy"); // in use when it goes
        ASSERT_TRUE(drive.yank());
        EXPECT_TRUE(waitFor(evDriveRemoved, drive.path() + "/"));
    }
    ASSERT_TRUE(runShell(elsewhere, ": > after").succeeded());
    EXPECT_TRUE(waitFor(evCreate, elsewhere + "/after"));
    EXPECT_TRUE(monitor->isRunning());
    stopRecording();
    EXPECT_TRUE(monitor->getFailure().empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, DriveEvents, ::testing::Values(TBackendKind::Fanotify, TBackendKind::Inotify),
                         [](const auto& info) { return std::string(backendKindName(info.param)); });

} // namespace
