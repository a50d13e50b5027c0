#include "util/UntFunctions.h"
#include "util/UntWide.h"

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

TEST(SystemHelpersWindows, LongPathsGetTheLongFormAndOthersStayAsTheyAre)
{
    const std::string folder = "C:\\" + std::string(260, 'a');
    EXPECT_EQ(toWidePath(folder), L"\\\\?\\" + toWide(folder));
    const std::string share = "\\\\server\\share\\" + std::string(260, 'b');
    EXPECT_EQ(toWidePath(share), L"\\\\?\\UNC\\server\\share\\" + std::wstring(260, L'b'));
    // Already long, short, or relative: only converted.
    EXPECT_EQ(toWidePath("\\\\?\\" + folder), L"\\\\?\\" + toWide(folder));
    EXPECT_EQ(toWidePath("C:\\short\\\xc3\xa9t\xc3\xa9"), L"C:\\short\\\u00e9t\u00e9");
    EXPECT_EQ(toWidePath(std::string(300, 'r')), std::wstring(300, L'r'));

    // A folder past MAX_PATH is made and found through it.
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    std::string deep = toUtf8(temp) + "fm-long-" + std::to_string(GetCurrentProcessId());
    std::vector<std::string> made{deep};
    for (char c : {'x', 'y', 'z'})
        made.push_back(made.back() + "\\" + std::string(100, c));
    for (const std::string& path : made)
        ASSERT_TRUE(CreateDirectoryW(toWidePath(path).c_str(), nullptr)) << path.size();
    EXPECT_NE(GetFileAttributesW(toWidePath(made.back()).c_str()), INVALID_FILE_ATTRIBUTES);
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        EXPECT_TRUE(RemoveDirectoryW(toWidePath(*it).c_str()));
}
