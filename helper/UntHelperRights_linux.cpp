#include "helper/UntHelperRights_linux.h"

#include "capture/UntMountWatcher_linux.h"

#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

int prepareHelperProcess()
{
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the signal was asked for: the helper has been handed on.
    if (::getppid() != parent)
        return 0;
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    ::close_range(3, ~0u, 0);
    return static_cast<int>(parent);
}

int userMayOpenFolder(const std::string& root)
{
    // access(2) checks with the real user and group and without capabilities.
    return ::access(root.c_str(), R_OK | X_OK) == 0 ? 0 : errno;
}

bool followsDrives(const std::vector<std::string>& roots)
{
    std::string error;
    const auto table = openMountWatcher(error);
    return table && !roots.empty() && std::all_of(roots.begin(), roots.end(), [&](const std::string& root) {
               char resolved[PATH_MAX];
               return ::realpath(root.c_str(), resolved) && table->isMountPoint(resolved);
           });
}

void keepCaptureRights(bool markLater)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, sets) != 0)
        throw std::system_error(errno, std::generic_category(), "capget");
    std::uint32_t keep = 1u << CAP_DAC_READ_SEARCH;
    if (markLater)
        keep |= 1u << CAP_SYS_ADMIN;
    static_assert(CAP_DAC_READ_SEARCH < 32 && CAP_SYS_ADMIN < 32);
    sets[0].effective &= keep;
    sets[0].permitted &= keep;
    sets[0].inheritable = 0;
    for (int i = 1; i < _LINUX_CAPABILITY_U32S_3; ++i)
        sets[i] = {};
    if (::syscall(SYS_capset, &header, sets) != 0)
        throw std::system_error(errno, std::generic_category(), "capset");
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        throw std::system_error(errno, std::generic_category(), "no new privileges");
}
