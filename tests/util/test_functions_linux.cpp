#include "tests/util/TestTempFolder.h"
#include "util/UntFunctions.h"
#include "util/UntProcess_linux.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(SystemHelpersLinux, DrivesAreMountedBlockDevices)
{
    const auto drives = getDriveInfos();
    std::string expected;
    for (const auto& drive : drives) {
        ASSERT_FALSE(drive.root.empty());
        EXPECT_EQ(drive.root.front(), '/');
        EXPECT_EQ(drive.root.back(), '/');
        struct stat st {};
        ASSERT_EQ(stat(drive.device.c_str(), &st), 0) << drive.device;
        EXPECT_TRUE(S_ISBLK(st.st_mode)) << drive.device;
        EXPECT_EQ(getFileSystemName(drive.root), drive.fsType);
        EXPECT_GT(getDiskSpace(drive.root, true), 0u);
        expected += drive.root + "\r\n";
    }
    EXPECT_EQ(getFixedDrives(), expected);
}

TEST(SystemHelpersLinux, VolumeQueriesAndTheirFallbacks)
{
    EXPECT_EQ(getFileSystemName("/proc"), "proc");
    EXPECT_EQ(getFileSystemName("/proc/self/"), "proc");
    EXPECT_EQ(getFileSystemName("/no/such/folder/"), "NTFS");
    EXPECT_EQ(getFileSystemName(""), "NTFS");

    const auto total = getDiskSpace("/", true);
    EXPECT_GT(total, 0u);
    EXPECT_LE(getDiskSpace("/", false), total);
    EXPECT_EQ(getDiskSpace("/no/such/folder/", true), 0u);
    EXPECT_EQ(getDiskSpace("/no/such/folder/", false), 0u);
}

TEST(SystemHelpersLinux, NamesAndFolders)
{
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof(name) - 1), 0);
    EXPECT_EQ(getComputerName(), name[0] ? std::string(name) : std::string("Unknow"));
    EXPECT_EQ(getWindowsDir(), "/usr/");
    EXPECT_EQ(getSystemDriveRoot(), "/");
}

// The program's own file appearing is a real process event: poll with a generous deadline.
bool waitForFile(const fs::path& path)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

TEST(SpawnDetached, PassesTheArgumentUntouchedAndLeavesNoChild)
{
    const TTestTempFolder temp;
    const fs::path& folder = temp.root();
    // Characters a shell would act on must reach the program as they are.
    const fs::path target = folder / "a b;$(echo x)'\"&.txt";
    ASSERT_TRUE(spawnDetached({"touch", target.string()}));
    EXPECT_TRUE(waitForFile(target));

    // The middle process is reaped and the program belongs to init, not to us.
    int status = 0;
    errno = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    EXPECT_FALSE(spawnDetached({"fm-no-such-program-anywhere"}));
    EXPECT_FALSE(spawnDetached({}));
    errno = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}
