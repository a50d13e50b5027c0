// The mount table diffed into drive events, on made-up tables and on real loop mounts.
#include "capture/UntMountWatcher_linux.h"

#include "events/UntEvents.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string line(int id, const std::string& majorMinor, const std::string& mountPoint, const std::string& fsType,
                 const std::string& source)
{
    return std::to_string(id) + " 1 " + majorMinor + " / " + mountPoint + " rw,relatime shared:1 - " + fsType + " " +
           source + " rw\n";
}

const std::string kBase = line(20, "8:1", "/", "ext4", "/dev/sda1") + line(21, "0:5", "/proc", "proc", "proc") +
                          line(22, "0:30", "/tmp", "tmpfs", "tmpfs");

std::vector<TMountChange> diff(const std::string& before, const std::string& after, bool removable = false)
{
    return diffMountTables(parseMountInfo(before), parseMountInfo(after),
                           [=](const TMountEntry&) { return removable; });
}

TEST(MountDiff, EachKindOfMountGivesItsEvents)
{
    struct TCase {
        std::string mount;
        bool removable;
        int added;
        int removed;
        bool local;
    };
    const std::vector<TCase> cases = {
        {line(30, "8:17", "/data", "xfs", "/dev/sdb1"), false, evDriveAdd, evDriveRemoved, true},
        {line(30, "7:0", "/mnt/image", "ext4", "/dev/loop0"), false, evDriveAdd, evDriveRemoved, true},
        {line(30, "8:33", "/media/ann/usb", "vfat", "/dev/sdc1"), false, evDriveAddGui, evDriveRemoved, true},
        {line(30, "8:33", "/run/media/ann/disk", "exfat", "/dev/sdc1"), false, evDriveAddGui, evDriveRemoved, true},
        {line(30, "8:33", "/media/ann/stick", "vfat", "/dev/sdc1"), true, evMediaInserted, evMediaRemoved, true},
        {line(30, "0:50", "/net/home", "nfs4", "server:/home"), false, evNetShare, evNetUnshare, false},
        {line(30, "0:51", "/net/share", "cifs", "//server/share"), false, evNetShare, evNetUnshare, false},
        {line(30, "0:52", "/net/ssh", "fuse.sshfs", "ann@host:"), false, evNetShare, evNetUnshare, false},
    };
    for (const TCase& c : cases) {
        const std::string root = parseMountInfo(c.mount).at(0).mountPoint + "/";
        const auto added = diff(kBase, kBase + c.mount, c.removable);
        ASSERT_EQ(added.size(), 1u) << c.mount;
        EXPECT_EQ(added[0].eventNum, c.added) << c.mount;
        EXPECT_EQ(added[0].root, root);
        EXPECT_TRUE(added[0].added);
        EXPECT_EQ(added[0].localDrive, c.local) << c.mount;
        const auto removed = diff(kBase + c.mount, kBase, c.removable);
        ASSERT_EQ(removed.size(), 1u) << c.mount;
        EXPECT_EQ(removed[0].eventNum, c.removed) << c.mount;
        EXPECT_FALSE(removed[0].added);
    }
}

TEST(MountDiff, PseudoRamAndImageFilesystemsGiveNothing)
{
    const std::string others = line(40, "0:60", "/run/user/1000", "tmpfs", "tmpfs") +
                               line(41, "7:3", "/snap/core/1", "squashfs", "/dev/loop3") +
                               line(42, "11:0", "/media/cdrom", "iso9660", "/dev/sr0") +
                               line(43, "0:61", "/sys/fs/cgroup", "cgroup2", "cgroup2") +
                               line(44, "0:62", "/var/lib/c/merged", "overlay", "overlay");
    EXPECT_TRUE(diff(kBase, kBase + others).empty());
    EXPECT_TRUE(diff(kBase + others, kBase).empty());
}

TEST(MountDiff, RemountsAndOrderAreKeptApart)
{
    // The same table: nothing. A mount point given another filesystem: removed, then added.
    EXPECT_TRUE(diff(kBase, kBase).empty());
    const std::string first = line(30, "8:17", "/data", "ext4", "/dev/sdb1");
    const std::string second = line(31, "8:18", "/data", "ext4", "/dev/sdb2");
    const auto swapped = diff(kBase + first, kBase + second);
    ASSERT_EQ(swapped.size(), 2u);
    EXPECT_EQ(swapped[0].eventNum, evDriveRemoved);
    EXPECT_EQ(swapped[1].eventNum, evDriveAdd);
    // Mounted twice at the same place and unmounted once: one removal.
    const auto once = diff(kBase + first + first, kBase + first);
    ASSERT_EQ(once.size(), 1u);
    EXPECT_EQ(once[0].eventNum, evDriveRemoved);
    // Several at once keep the table's order.
    const auto many =
        diff(kBase, kBase + line(30, "8:17", "/b", "ext4", "/dev/sdb1") + line(31, "8:18", "/a", "ext4", "/dev/sdb2"));
    ASSERT_EQ(many.size(), 2u);
    EXPECT_EQ(many[0].root, "/b/");
    EXPECT_EQ(many[1].root, "/a/");
    // A mount point with a blank in it arrives decoded.
    const auto blank = diff(kBase, kBase + line(30, "8:17", "/media/my\\040disk", "ext4", "/dev/sdb1"));
    ASSERT_EQ(blank.size(), 1u);
    EXPECT_EQ(blank[0].root, "/media/my disk/");
}

TEST(MountWatcherTable, ChangesWithinTheIntervalWaitAndAreNotLost)
{
    const std::string path = ::testing::TempDir() + "fm-mounttable.txt";
    std::ofstream(path) << kBase;
    TMountWatcher slow(path, std::chrono::hours(1));
    ASSERT_TRUE(slow.valid()) << slow.error();
    EXPECT_EQ(slow.pollTimeout(), -1);
    std::ofstream(path) << kBase << line(30, "8:17", "/data", "ext4", "/dev/sdb1");
    EXPECT_TRUE(slow.serve(true).empty());
    EXPECT_GT(slow.pollTimeout(), 0); // a re-read is owed

    std::ofstream(path) << kBase;
    TMountWatcher fast(path, std::chrono::milliseconds(0));
    std::ofstream(path) << kBase << line(30, "8:17", "/data", "ext4", "/dev/sdb1")
                        << line(31, "8:18", "/e", "ext4", "/dev/sdb2");
    EXPECT_TRUE(fast.serve(false).empty()); // nothing signalled, nothing read
    const auto changes = fast.serve(true);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].root, "/data/");
    EXPECT_TRUE(fast.isMountPoint("/e"));
    EXPECT_EQ(fast.pollTimeout(), -1);
    std::remove(path.c_str());
}

TEST(MountWatcherTable, AMissingTableIsAnErrorWithItsReason)
{
    TMountWatcher none("/nonexistent/mountinfo");
    EXPECT_FALSE(none.valid());
    EXPECT_NE(none.error().find("/nonexistent/mountinfo"), std::string::npos);
    EXPECT_TRUE(none.serve(true).empty());
}

} // namespace
