#include "util/UntFunctions.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(SystemHelpersWindows, FixedDrivesInLetterOrderWithCrLf)
{
    const std::string drives = getFixedDrives();
    EXPECT_NE(drives.find("C:\\\r\n"), std::string::npos) << drives;
    ASSERT_GE(drives.size(), 5u);
    ASSERT_EQ(drives.size() % 5, 0u) << drives; // "X:\" CR LF each
    for (std::size_t i = 0; i < drives.size(); i += 5) {
        EXPECT_TRUE(drives[i] >= 'A' && drives[i] <= 'Z');
        EXPECT_EQ(drives.substr(i + 1, 4), ":\\\r\n");
        if (i > 0) {
            EXPECT_LT(drives[i - 5], drives[i]);
        }
    }
    const auto infos = getDriveInfos();
    EXPECT_EQ(driveListText(infos), drives);
    for (const auto& info : infos)
        EXPECT_EQ(info.removable, GetDriveTypeA(info.root.c_str()) == DRIVE_REMOVABLE);
}

TEST(SystemHelpersWindows, VolumeQueriesAndTheirFallbacks)
{
    EXPECT_FALSE(getFileSystemName("C:\\").empty());
    const auto total = getDiskSpace("C:\\", true);
    EXPECT_GT(total, 0u);
    EXPECT_LE(getDiskSpace("C:\\", false), total);

    const std::string bogus = "C:\\no-such-folder-fm\\";
    EXPECT_EQ(getFileSystemName(bogus), "NTFS");
    EXPECT_EQ(getDiskSpace(bogus, true), 0u);
    EXPECT_EQ(getDiskSpace(bogus, false), 0u);
}

TEST(SystemHelpersWindows, NamesAndFolders)
{
    const std::string name = getComputerName();
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name, "Unknow");

    const std::string windowsDir = getWindowsDir();
    ASSERT_GE(windowsDir.size(), 4u);
    EXPECT_EQ(windowsDir.back(), '\\');
    EXPECT_NE(windowsDir[windowsDir.size() - 2], '\\');
    EXPECT_EQ(GetFileAttributesA(windowsDir.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    const std::string root = getSystemDriveRoot();
    ASSERT_EQ(root.size(), 3u);
    EXPECT_TRUE(root[0] >= 'A' && root[0] <= 'Z');
    EXPECT_EQ(root.substr(1), ":\\");
    EXPECT_EQ(windowsDir.substr(0, 3), root);
}
