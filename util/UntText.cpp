#include "util/UntText.h"

#include <algorithm>

std::string foldCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), foldChar);
    return out;
}

bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldChar(x) == foldChar(y); });
}

bool containsFolded(std::string_view text, std::string_view folded)
{
    if (folded.empty())
        return true;
    if (text.size() < folded.size())
        return false;
    const char first = folded.front();
    const char lower = first >= 'A' && first <= 'Z' ? static_cast<char>(first - 'A' + 'a') : first;
    const std::size_t last = text.size() - folded.size();
    for (std::size_t at = 0; at <= last; ++at) {
        if (text[at] != first && text[at] != lower)
            continue;
        std::size_t i = 1;
        while (i < folded.size() && foldChar(text[at + i]) == folded[i])
            ++i;
        if (i == folded.size())
            return true;
    }
    return false;
}

std::string_view trimmed(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::vector<std::string_view> splitPath(std::string_view path, TPathStyle style)
{
    std::vector<std::string_view> pieces;
    const char sep = pathSeparator(style);
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t end = path.find(sep, start);
        if (end == std::string_view::npos) {
            pieces.push_back(path.substr(start));
            break;
        }
        pieces.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

namespace {
std::size_t lastNameBreak(std::string_view path, TPathStyle style)
{
    return style == TPathStyle::Windows ? path.find_last_of("\\:") : path.find_last_of('/');
}
} // namespace

std::string_view fileNamePart(std::string_view path, TPathStyle style)
{
    const std::size_t cut = lastNameBreak(path, style);
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view folderPart(std::string_view path, TPathStyle style)
{
    const std::size_t cut = lastNameBreak(path, style);
    return cut == std::string_view::npos ? std::string_view{} : path.substr(0, cut + 1);
}

std::string_view extensionPart(std::string_view path, TPathStyle style)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::size_t cut = lastNameBreak(path, style);
    if (cut != std::string_view::npos && cut > dot)
        return {};
    return path.substr(dot);
}

bool isUnder(std::string_view path, std::string_view folder, TPathStyle style)
{
    if (folder.empty() || path.size() < folder.size())
        return false;
    const std::string_view head = path.substr(0, folder.size());
    if (style == TPathStyle::Windows ? !sameText(head, folder) : head != folder)
        return false;
    const char separator = pathSeparator(style);
    return path.size() == folder.size() || folder.back() == separator || path[folder.size()] == separator;
}

std::string entriesToListText(const std::vector<std::string>& entries)
{
    std::string text;
    for (const std::string& entry : entries) {
        text += entry;
        text += "\r\n";
    }
    return text;
}
