#include "util/UntFunctions.h"
#include "util/UntProcess_linux.h"

#include <fstream>
#include <sstream>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::string readWholeFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string firstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool isBlockDevice(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

// /dev/mapper/x and /dev/disk/by-*/... are links to the kernel's name (dm-0, sdb1).
std::string kernelName(const std::string& device)
{
    char resolved[PATH_MAX];
    if (!realpath(device.c_str(), resolved))
        return {};
    const std::string full = resolved;
    return full.substr(full.rfind('/') + 1);
}

// A partition has no flag of its own: its disk, the folder above it in sysfs, has it.
bool isRemovableDevice(const std::string& device)
{
    const std::string name = kernelName(device);
    if (name.empty())
        return false;
    const std::string own = firstLine("/sys/class/block/" + name + "/removable");
    if (!own.empty())
        return own == "1";
    char disk[PATH_MAX];
    if (!realpath(("/sys/class/block/" + name + "/..").c_str(), disk))
        return false;
    return firstLine(std::string(disk) + "/removable") == "1";
}

} // namespace

std::string getComputerName()
{
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0')
        return "Unknow";
    return name;
}

std::vector<TDriveInfo> getDriveInfos()
{
    std::vector<TDriveInfo> drives;
    for (auto& drive : drivesFromMountInfo(readWholeFile("/proc/self/mountinfo"))) {
        if (!isBlockDevice(drive.device))
            continue;
        drive.removable = isRemovableDevice(drive.device);
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::string getFixedDrives()
{
    return driveListText(getDriveInfos());
}

std::string getFileSystemName(std::string root)
{
    // The mount whose device holds root; the last one listed is the one in effect.
    struct stat st {};
    if (root.empty() || stat(root.c_str(), &st) != 0)
        return "NTFS";
    const std::string wanted = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    std::string name;
    for (const auto& entry : parseMountInfo(readWholeFile("/proc/self/mountinfo")))
        if (entry.majorMinor == wanted)
            name = entry.fsType;
    return name.empty() ? "NTFS" : name;
}

std::uint64_t getDiskSpace(std::string root, bool total)
{
    struct statvfs vfs {};
    if (root.empty() || statvfs(root.c_str(), &vfs) != 0)
        return 0;
    const std::uint64_t blocks = total ? vfs.f_blocks : vfs.f_bavail;
    return blocks * static_cast<std::uint64_t>(vfs.f_frsize);
}

std::string getWindowsDir()
{
    return "/usr/";
}

std::string getSystemDriveRoot()
{
    return "/";
}

void shellOpen(std::string target)
{
    if (target.empty())
        return;
    if (!spawnDetached({"xdg-open", target}))
        spawnDetached({"gio", "open", target});
}

std::string executableFolder()
{
    std::string path(4096, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            return std::string(folderPart(path, TPathStyle::Posix));
        }
        path.resize(path.size() * 2);
    }
}
