#include "settings/UntIniStorage.h"

#include "util/UntOsHandle.h"
#include "util/UntText.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A symbolic link is followed, so the file it names is replaced, not the link.
std::string resolveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string target(real);
    std::free(real);
    return target;
}

// Removes the temporary file unless it was renamed into place.
class TTempFileGuard {
public:
    explicit TTempFileGuard(std::string path) : path_(std::move(path)) {}
    TTempFileGuard(const TTempFileGuard&) = delete;
    TTempFileGuard& operator=(const TTempFileGuard&) = delete;
    ~TTempFileGuard()
    {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    void release() { path_.clear(); }

private:
    std::string path_;
};

TFdObj createTemporary(const std::string& folder, std::string_view name, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + std::string(name) + ".tmp-" + std::to_string(::getpid()) + "-" +
                   std::to_string(counter.fetch_add(1));
        TFdObj fd(::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd || errno != EEXIST)
            return fd;
    }
    return TFdObj{};
}

void syncFolder(const std::string& folder)
{
    TFdObj dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        ::fsync(dir.get());
}

} // namespace

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

bool replaceIniFile(const std::string& path, std::string_view content)
{
    const std::string target = resolveTarget(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return false;
    if (!exists && errno != ENOENT)
        return false;

    const std::string folder(folderPart(target, TPathStyle::Posix));
    std::string tempPath;
    TFdObj fd = createTemporary(folder, fileNamePart(target, TPathStyle::Posix), tempPath);
    if (!fd)
        return false;
    TTempFileGuard guard(tempPath);
    if (exists)
        ::fchmod(fd.get(), st.st_mode & 07777); // keep the old file's permissions
    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0 || !fd.close())
        return false;
    if (::rename(tempPath.c_str(), target.c_str()) != 0)
        return false;
    guard.release();
    syncFolder(folder);
    return true;
}
