// Text and path rules shared by every layer: one case-folding helper, one trimming rule,
// one line splitter and one path splitter, each taking the path style explicitly so both
// styles can be tested on any platform.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Hashes std::string keys and string_view lookups alike (with std::equal_to<>), so a lookup in
// an unordered container never builds a string.
struct TTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

enum class TPathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr TPathStyle kNativePathStyle = TPathStyle::Windows;
#else
inline constexpr TPathStyle kNativePathStyle = TPathStyle::Posix;
#endif

constexpr char pathSeparator(TPathStyle style)
{
    return style == TPathStyle::Windows ? '\\' : '/';
}

// Folds only 'a'..'z' to 'A'..'Z'; every other byte (UTF-8 included) stays as it is.
constexpr char foldChar(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string foldCase(std::string_view text);
bool sameText(std::string_view a, std::string_view b);
// Whether text holds folded (already passed through foldCase) anywhere, folding text the same way.
bool containsFolded(std::string_view text, std::string_view folded);

// Removes leading and trailing characters <= 0x20.
std::string_view trimmed(std::string_view text);
inline bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

// CR LF, a lone CR and a lone LF each end a line; a break at the very end adds no empty line.
std::vector<std::string> splitLines(std::string_view text);
// A list text: each entry followed by CR LF, the last one too; empty for no entries.
std::string entriesToListText(const std::vector<std::string>& entries);

// The pieces between separators, empty pieces included; a separator at the very end adds none.
std::vector<std::string_view> splitPath(std::string_view path, TPathStyle style);

// A file name ends the path: after the last separator (and, Windows style, after the last ':').
std::string_view fileNamePart(std::string_view path, TPathStyle style);
// Everything up to and including that separator; empty when there is none.
std::string_view folderPart(std::string_view path, TPathStyle style);
// From the last '.' to the end, unless a separator (or ':' in Windows style) follows it.
std::string_view extensionPart(std::string_view path, TPathStyle style);
// path is folder itself or lies below it; Windows style ignores case the way sameText does.
bool isUnder(std::string_view path, std::string_view folder, TPathStyle style);
