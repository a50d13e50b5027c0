#include "util/UntFunctions.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> roots(const std::vector<TDriveInfo>& drives)
{
    std::vector<std::string> out;
    for (const auto& drive : drives)
        out.push_back(drive.root);
    return out;
}

} // namespace

TEST(FileNamePart, TakesTheTextAfterTheLastSeparatorOfTheStyle)
{
    EXPECT_EQ(extractFileNamePart("C:\\dir\\file.txt", TPathStyle::Windows), "file.txt");
    EXPECT_EQ(extractFileNamePart("file.txt", TPathStyle::Windows), "file.txt");
    EXPECT_EQ(extractFileNamePart("C:\\dir\\", TPathStyle::Windows), "");
    EXPECT_EQ(extractFileNamePart("C:file.txt", TPathStyle::Windows), "C:file.txt"); // only "\" separates
    EXPECT_EQ(extractFileNamePart("/home/a b/x.tar.gz", TPathStyle::Posix), "x.tar.gz");
    EXPECT_EQ(extractFileNamePart("/home/a\\b", TPathStyle::Posix), "a\\b");
    EXPECT_EQ(extractFileNamePart("/home/", TPathStyle::Posix), "");
    EXPECT_EQ(extractFileNamePart("", TPathStyle::Posix), "");
}

TEST(DriveList, EveryRootIsFollowedByCrLf)
{
    EXPECT_EQ(driveListText({}), "");
    EXPECT_EQ(driveListText({{"C:\\", "", "", false}, {"E:\\", "", "", true}}), "C:\\\r\nE:\\\r\n");
}

TEST(MountInfo, ParsesFieldsAroundOptionalOnesAndDecodesEscapes)
{
    const auto entries =
        parseMountInfo("27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
                       "90 27 8:17 /@data /media/my\\040usb\\134x rw master:3 propagate_from:2 - vfat /dev/sdb1 rw\n"
                       "broken line without dash\n"
                       "91 27 8:18 / /short rw -\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].majorMinor, "254:0");
    EXPECT_EQ(entries[0].mountPoint, "/");
    EXPECT_EQ(entries[0].fsType, "ext4");
    EXPECT_EQ(entries[0].source, "/dev/vda");
    EXPECT_EQ(entries[1].root, "/@data");
    EXPECT_EQ(entries[1].mountPoint, "/media/my usb\\x");
    EXPECT_EQ(entries[1].fsType, "vfat");
    EXPECT_EQ(entries[1].source, "/dev/sdb1");
    // An incomplete escape stays as written.
    EXPECT_EQ(parseMountInfo("1 0 8:1 / /a\\04 rw - ext4 /dev/sda1 rw")[0].mountPoint, "/a\\04");
}

TEST(MountInfo, KeepsBlockDeviceFilesystemsOnly)
{
    const auto mount = [](std::string type, std::string source, std::string point = "/mnt") {
        return TMountEntry{"0:0", "/", std::move(point), std::move(type), std::move(source)};
    };
    EXPECT_TRUE(isDriveMount(mount("ext4", "/dev/sda1")));
    EXPECT_TRUE(isDriveMount(mount("btrfs", "/dev/nvme0n1p2")));
    EXPECT_TRUE(isDriveMount(mount("vfat", "/dev/sdb1")));
    EXPECT_TRUE(isDriveMount(mount("ext4", "/dev/mapper/root")));
    EXPECT_FALSE(isDriveMount(mount("tmpfs", "tmpfs")));
    EXPECT_FALSE(isDriveMount(mount("ramfs", "ramfs")));
    EXPECT_FALSE(isDriveMount(mount("ext4", "/dev/zram1")));
    EXPECT_FALSE(isDriveMount(mount("ext2", "/dev/ram0")));
    EXPECT_FALSE(isDriveMount(mount("proc", "proc")));
    EXPECT_FALSE(isDriveMount(mount("devtmpfs", "udev")));
    EXPECT_FALSE(isDriveMount(mount("nfs4", "server:/export")));
    EXPECT_FALSE(isDriveMount(mount("cifs", "//server/share")));
    EXPECT_FALSE(isDriveMount(mount("fuse.sshfs", "user@host:")));
    EXPECT_FALSE(isDriveMount(mount("iso9660", "/dev/sr0")));
    EXPECT_FALSE(isDriveMount(mount("udf", "/dev/sr1")));
    EXPECT_FALSE(isDriveMount(mount("iso9660", "/dev/loop3")));  // a mounted disc image
    EXPECT_FALSE(isDriveMount(mount("squashfs", "/dev/loop0"))); // a package image
    EXPECT_FALSE(isDriveMount(mount("ext4", "/dev/loop5")));     // any loop image
    EXPECT_FALSE(isDriveMount(mount("ext4", "/dev/sda1", "")));
}

TEST(MountInfo, DrivesAreUniqueAndInPathOrderWithATrailingSlash)
{
    const auto drives = drivesFromMountInfo("22 27 0:21 / /proc rw - proc proc rw\n"
                                            "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                                            "30 27 8:1 / /home rw - xfs /dev/sda1 rw\n"
                                            "31 27 8:17 / /media/a\\040b rw - vfat /dev/sdb1 rw\n"
                                            "32 27 8:33 / /media/a rw - exfat /dev/sdc1 rw\n"
                                            "33 27 0:40 / /tmp rw - tmpfs tmpfs rw\n"
                                            "34 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
                                            "35 27 0:50 / /net rw - nfs4 srv:/x rw\n"
                                            "36 27 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n"
                                            // The same folder mounted twice: the later mount is the one in effect.
                                            "37 27 8:49 / /data rw - ext4 /dev/sdd1 rw\n"
                                            "38 37 8:50 / /data rw - btrfs /dev/sdd2 rw\n"
                                            // A drive hidden by a RAM filesystem mounted over it.
                                            "39 27 8:65 / /scratch rw - ext4 /dev/sde1 rw\n"
                                            "40 39 0:60 / /scratch rw - tmpfs tmpfs rw\n");
    EXPECT_EQ(roots(drives), (std::vector<std::string>{"/", "/data/", "/home/", "/media/a/", "/media/a b/"}));
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(drives[1].device, "/dev/sdd2");
    EXPECT_EQ(drives[1].fsType, "btrfs");
    EXPECT_EQ(driveListText(drives), "/\r\n/data/\r\n/home/\r\n/media/a/\r\n/media/a b/\r\n");
    EXPECT_TRUE(drivesFromMountInfo("").empty());
}
