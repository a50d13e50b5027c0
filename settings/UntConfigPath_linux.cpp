#include "settings/UntConfigPath.h"

#include "util/UntText.h"

#include <unistd.h>

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
