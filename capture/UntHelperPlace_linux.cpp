// Where the capture helper is and whether this user may run it.
#include "capture/UntHelperBackend_linux.h"

#include "capture/UntLinuxBackend_linux.h"
#include "util/UntFunctions.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

std::string groupName(gid_t gid)
{
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::to_string(gid);
    return found->gr_name;
}

// Whether the group database lists this user in the group, though this session does not have it.
bool listedInGroup(gid_t gid)
{
    std::vector<char> userBuffer(16384);
    passwd user{};
    passwd* me = nullptr;
    if (::getpwuid_r(::getuid(), &user, userBuffer.data(), userBuffer.size(), &me) != 0 || !me)
        return false;
    if (me->pw_gid == gid)
        return true;
    std::vector<char> groupBuffer(65536);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, groupBuffer.data(), groupBuffer.size(), &found) != 0 || !found)
        return false;
    for (char** member = found->gr_mem; member && *member; ++member)
        if (std::strcmp(*member, me->pw_name) == 0)
            return true;
    return false;
}

} // namespace

std::string captureHelperPath()
{
    const std::string folder = executableFolder();
    if (folder.empty())
        return {};
    for (const char* place : {FM_HELPER_FROM_BINDIR "/", "../helper/"}) {
        // The executable's folder is a resolved path: ".." in it can be dropped by the letters.
        const std::string path = std::filesystem::path(folder + place + kCaptureHelperName).lexically_normal();
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
            return path;
    }
    return {};
}

bool mayRunHelper(const std::string& path, std::string& advice)
{
    if (::access(path.c_str(), X_OK) == 0)
        return true;
    const int error = errno;
    struct stat status {};
    if (error != EACCES || ::stat(path.c_str(), &status) != 0) {
        advice = std::string(kCaptureHelperName) + " cannot be run: " + errorText(error);
        return false;
    }
    const std::string group = groupName(status.st_gid);
    if (listedInGroup(status.st_gid))
        advice = "log in again for full capture: you were added to the group " + group + " after this session began";
    else
        advice = "add yourself to the group " + group + " for full capture";
    return false;
}
