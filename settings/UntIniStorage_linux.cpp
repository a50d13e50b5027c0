#include "settings/UntIniStorage.h"

#include "util/UntOsHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool readIniFile(const std::string& path, std::string& content)
{
    content.clear();
    TFdObj fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return errno == ENOENT || errno == ENOTDIR;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            content.clear();
            return false;
        }
        if (n == 0)
            return true;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}
