#include "settings/UntIniDocument.h"

#include "util/UntText.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool hasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool isCommentStart(char c)
{
    return c == ';' || c == '#';
}

// Names are printable ASCII, inner blanks allowed (the ends are trimmed before this test).
bool isPlainName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x7F;
    });
}

// Quotes a value whose ends would otherwise be trimmed or unquoted on reading.
std::string formatLine(std::string_view key, std::string_view value)
{
    std::string line(key);
    line += '=';
    const bool padded = !value.empty() && (trimmed(value).size() != value.size());
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (padded || quoted) {
        line += '"';
        line += value;
        line += '"';
    } else {
        line += value;
    }
    return line;
}

std::string parseValue(std::string_view text)
{
    text = trimmed(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

void checkName(std::string_view name, const char* what)
{
    if (name.empty() || trimmed(name).size() != name.size() || hasLineBreak(name))
        throw std::invalid_argument(std::string("INI ") + what + " name cannot be stored: '" + std::string(name) + "'");
}

void checkKey(std::string_view key)
{
    checkName(key, "key");
    if (key.find('=') != std::string_view::npos || isCommentStart(key.front()) || key.front() == '[')
        throw std::invalid_argument("INI key name cannot be stored: '" + std::string(key) + "'");
}

void checkSection(std::string_view section)
{
    checkName(section, "section");
    if (section.find(']') != std::string_view::npos)
        throw std::invalid_argument("INI section name cannot be stored: '" + std::string(section) + "'");
}

} // namespace

void TIniDocument::parse(std::string_view bytes)
{
    sections_.clear();
    hasBom_ = bytes.substr(0, kBom.size()) == kBom;
    if (hasBom_)
        bytes.remove_prefix(kBom.size());

    unreadLines_ = 0;
    sections_.push_back(TSection{{}, false, {}});
    for (std::string& raw : splitLines(bytes)) {
        const std::string_view text = trimmed(raw);
        if (!text.empty() && text.front() == '[') {
            const std::size_t close = text.find(']');
            const std::string_view name =
                close == std::string_view::npos ? std::string_view() : trimmed(text.substr(1, close - 1));
            if (isPlainName(name)) {
                sections_.push_back(TSection{std::string(name), true, {}});
                sections_.back().lines.push_back(TLine{std::move(raw), {}, {}});
                continue;
            }
        }
        TLine line;
        const std::size_t eq = text.find('=');
        if (!text.empty() && !isCommentStart(text.front()) && eq != std::string_view::npos &&
            isPlainName(trimmed(text.substr(0, eq)))) {
            line.key = std::string(trimmed(text.substr(0, eq)));
            line.value = parseValue(text.substr(eq + 1));
        } else if (!text.empty() && !isCommentStart(text.front())) {
            ++unreadLines_;
        }
        line.raw = std::move(raw);
        sections_.back().lines.push_back(std::move(line));
    }
}

std::string TIniDocument::serialize() const
{
    std::string out;
    if (hasBom_)
        out += kBom;
    for (const TSection& section : sections_) {
        for (const TLine& line : section.lines) {
            out += line.raw;
            out += "\r\n";
        }
    }
    return out;
}

TIniDocument::TSection* TIniDocument::findSection(std::string_view name)
{
    auto it = std::find_if(sections_.begin(), sections_.end(),
                           [name](const TSection& s) { return s.hasHeader && sameText(s.name, name); });
    return it == sections_.end() ? nullptr : &*it;
}

const TIniDocument::TSection* TIniDocument::findSection(std::string_view name) const
{
    return const_cast<TIniDocument*>(this)->findSection(name);
}

const std::string* TIniDocument::find(std::string_view section, std::string_view key) const
{
    const TSection* s = findSection(section);
    if (!s)
        return nullptr;
    for (const TLine& line : s->lines) {
        if (!line.key.empty() && sameText(line.key, key))
            return &line.value;
    }
    return nullptr;
}

void TIniDocument::set(std::string_view section, std::string_view key, std::string_view value)
{
    checkSection(section);
    checkKey(key);
    if (hasLineBreak(value))
        throw std::invalid_argument("INI value for key '" + std::string(key) + "' holds a line break");

    TSection* s = findSection(section);
    if (!s) {
        // A blank line between sections, as in a file written by hand.
        const bool empty = sections_.size() == 1 && sections_.front().lines.empty();
        TSection& last = sections_.back();
        if (!empty && !last.lines.empty() && !trimmed(last.lines.back().raw).empty())
            last.lines.push_back(TLine{});
        sections_.push_back(TSection{std::string(section), true, {TLine{"[" + std::string(section) + "]", {}, {}}}});
        s = &sections_.back();
    }

    std::size_t insertAt = 1; // right after the header
    for (std::size_t i = 0; i < s->lines.size(); ++i) {
        TLine& line = s->lines[i];
        if (line.key.empty())
            continue;
        if (sameText(line.key, key)) {
            line.raw = formatLine(line.key, value);
            line.value = std::string(value);
            return;
        }
        insertAt = i + 1;
    }
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                    TLine{formatLine(key, value), std::string(key), std::string(value)});
}
