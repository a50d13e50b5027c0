// std::filesystem paths from and to the UTF-8 text the core keeps. A narrow path would be read
// in the ANSI code page on Windows; going through char8_t keeps every character on both systems.
#pragma once

#include <filesystem>
#include <string>

inline std::filesystem::path nativePath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Path(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
