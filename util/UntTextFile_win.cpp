#include "util/UntTextFile.h"

#include "util/UntOsHandle.h"
#include "util/UntWide.h"

#include <algorithm>

std::string utf8ToCodePage(std::string_view utf8, unsigned codePage)
{
    const std::wstring wide = toWide(utf8);
    if (wide.empty())
        return {};
    // No flags and no explicit default character: every code page (UTF-8 included) accepts that,
    // and characters it cannot hold become the page's default character.
    const int size =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string toSystemCharset(std::string_view utf8)
{
    return utf8ToCodePage(utf8, CP_ACP);
}

bool replaceFileContents(const std::string& fileName, std::string_view bytes)
{
    const std::wstring path = toWide(fileName);
    // Windows refuses to replace a read-only file; say so before opening, whoever runs this.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    THandleObj file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return file.close();
}
