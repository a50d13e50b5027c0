#include "util/UntTextFile.h"

#include "util/UntOsHandle.h"
#include "util/UntText.h"

#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>

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

bool replaceFileContents(const std::string& fileName, std::string_view bytes)
{
    // Non-blocking open, so a FIFO without a reader fails at once instead of hanging.
    TFdObj fd(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
    if (!fd)
        return false;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd.get(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return fd.close();
}
