#include "util/UntWide.h"

#include <windows.h>

std::wstring toWide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string toUtf8(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring toWidePath(std::string_view utf8)
{
    std::wstring wide = toWide(utf8);
    // CreateDirectoryW refuses a folder of MAX_PATH - 12 characters and more without the prefix.
    constexpr std::size_t kPlainLimit = MAX_PATH - 12;
    if (wide.size() < kPlainLimit || wide.starts_with(L"\\\\?\\"))
        return wide;
    const bool drivePath = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\';
    if (drivePath)
        return L"\\\\?\\" + wide;
    if (wide.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}
