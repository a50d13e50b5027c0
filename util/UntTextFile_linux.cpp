#include "util/UntTextFile.h"

#include "util/UntOsHandle.h"
#include "util/UntText.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isUtf8Name(std::string_view charset)
{
    return sameText(charset, "UTF-8") || sameText(charset, "UTF8");
}

// The C and POSIX locales report plain ASCII.
bool isAsciiName(std::string_view charset)
{
    return sameText(charset, "ANSI_X3.4-1968") || sameText(charset, "ASCII") || sameText(charset, "US-ASCII");
}

// Bytes of the UTF-8 sequence that starts here (at least one, at most what is left).
std::size_t sequenceLength(const char* p, std::size_t left)
{
    std::size_t n = 1;
    while (n < left && n < 4 && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

class TIconvObj {
public:
    explicit TIconvObj(const std::string& to) : cd_(::iconv_open(to.c_str(), "UTF-8")) {}
    TIconvObj(const TIconvObj&) = delete;
    TIconvObj& operator=(const TIconvObj&) = delete;
    ~TIconvObj()
    {
        if (*this)
            ::iconv_close(cd_);
    }
    explicit operator bool() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

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

std::string utf8ToCharset(std::string_view utf8, const std::string& charset)
{
    const TIconvObj converter(charset);
    if (!converter)
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char buffer[4096];
    for (;;) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        // A null input at the end writes any closing shift sequence.
        const std::size_t result = inLeft > 0 ? ::iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft)
                                              : ::iconv(converter.get(), nullptr, nullptr, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0 && outPtr == buffer)
                return out;
            continue;
        }
        if (error == E2BIG)
            continue;
        if (inLeft == 0)
            return out;
        // A character the set cannot hold, or bytes that are not UTF-8.
        out += '?';
        const std::size_t skip = sequenceLength(in, inLeft);
        in += skip;
        inLeft -= skip;
    }
}

std::string toSystemCharset(std::string_view utf8)
{
    // The user's locale, read without touching the process-wide one.
    const locale_t userLocale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (!userLocale)
        return std::string(utf8);
    const std::string charset = ::nl_langinfo_l(CODESET, userLocale);
    ::freelocale(userLocale);
    if (charset.empty() || isUtf8Name(charset) || isAsciiName(charset))
        return std::string(utf8);
    return utf8ToCharset(utf8, charset);
}

bool replaceFileContents(const std::string& path, std::string_view content)
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
