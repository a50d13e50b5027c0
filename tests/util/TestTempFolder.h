// A fresh folder for one test, removed with everything in it afterwards, and small file helpers
// that work with the UTF-8 paths the core takes.
#pragma once

#include "util/UntFsPath.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define FM_TEST_PID _getpid()
#else
#include <unistd.h>
#define FM_TEST_PID getpid()
#endif
#ifdef __linux__
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#endif

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(nativePath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(nativePath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool pathExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(nativePath(path), ec);
}

inline bool runningAsRoot()
{
#ifdef _WIN32
    return false;
#else
    return geteuid() == 0;
#endif
}

#ifdef __linux__
// A tmpfs mounted on an existing folder for one test (as root), detached when the test ends.
class TTestTmpfs {
public:
    TTestTmpfs(std::string point, const char* options) : point_(std::move(point))
    {
        mounted_ = ::mount("fm-test", point_.c_str(), "tmpfs", 0, options) == 0;
        error_ = mounted_ ? 0 : errno;
    }
    TTestTmpfs(const TTestTmpfs&) = delete;
    TTestTmpfs& operator=(const TTestTmpfs&) = delete;
    ~TTestTmpfs()
    {
        if (mounted_)
            ::umount2(point_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    // Why the mount was refused.
    std::string error() const { return std::strerror(error_); }

private:
    std::string point_;
    bool mounted_ = false;
    int error_ = 0;
};
#endif

class TTestTempFolder {
public:
    // Below base; the path is canonical, as the system reports it in events. Throws when the
    // folder cannot be made.
    explicit TTestTempFolder(const std::filesystem::path& base = std::filesystem::temp_directory_path())
    {
        static std::atomic<unsigned> counter{0};
        root_ = base / ("fm-test-" + std::to_string(FM_TEST_PID) + "-" + std::to_string(counter.fetch_add(1)));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        root_ = std::filesystem::canonical(root_);
    }
    TTestTempFolder(const TTestTempFolder&) = delete;
    TTestTempFolder& operator=(const TTestTempFolder&) = delete;
    ~TTestTempFolder()
    {
        std::error_code ec;
        // Tests may leave read-only files or folders behind; make everything removable again.
        for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(root_, ec);
    }

    const std::filesystem::path& root() const { return root_; }
    // The UTF-8 path of the folder itself, without a final separator.
    std::string path() const { return utf8Path(root_); }
    // The UTF-8 path of a name inside the folder.
    std::string path(const std::string& name) const { return utf8Path(root_ / nativePath(name)); }
    std::string folder() const
    {
        return utf8Path(root_) + std::string(1, static_cast<char>(std::filesystem::path::preferred_separator));
    }

private:
    std::filesystem::path root_;
};
