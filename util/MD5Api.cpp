#include "util/MD5Api.h"

std::string digestToHex(const TMD5Digest& digest)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * digest.size());
    for (const std::uint8_t byte : digest) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

TMD5Digest TFileDigestObj::digest()
{
    const std::atomic<bool> never{false};
    return *digestUnless(never);
}

void digestFile(const std::string& path, TMD5Digest& digest)
{
    if (!isExistingFile(path))
        return;
    TFileDigestObj file(path);
    digest = file.digest();
}

std::string getFileMD5(const std::string& path)
{
    if (!isExistingFile(path))
        return {};
    TMD5Digest digest = md5Of(nullptr, 0);
    digestFile(path, digest);
    return digestToHex(digest);
}
