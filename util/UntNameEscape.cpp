#include "util/UntNameEscape.h"

namespace {

// Length of the valid UTF-8 sequence starting at text[at], or 0 when the byte there starts none
// (stray continuation bytes, overlong forms, surrogates and values above U+10FFFF are invalid).
std::size_t utf8Length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

void appendHex(std::string& out, unsigned char value)
{
    constexpr char kDigits[] = "0123456789abcdef";
    out += '\\';
    out += 'x';
    out += kDigits[value >> 4];
    out += kDigits[value & 0x0F];
}

bool needsNoEscape(std::string_view name, TNameEscape mode)
{
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\\' || u >= 0x80 || (mode == TNameEscape::Controls && (u < 0x20 || u == 0x7F)))
            return false;
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8Length(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

void appendEscapedName(std::string& out, std::string_view name, TNameEscape mode)
{
    // The common case, a plain ASCII name, costs one scan and one append.
    if (needsNoEscape(name, mode)) {
        out += name;
        return;
    }
    const bool controls = mode == TNameEscape::Controls;
    for (std::size_t at = 0; at < name.size();) {
        const auto c = static_cast<unsigned char>(name[at]);
        const std::size_t length = utf8Length(name, at);
        if (length == 0) {
            appendHex(out, c);
            ++at;
        } else if (length > 1) {
            // U+0080..U+009F: the C1 controls, some of which terminals obey.
            if (controls && c == 0xC2 && static_cast<unsigned char>(name[at + 1]) <= 0x9F) {
                appendHex(out, c);
                appendHex(out, static_cast<unsigned char>(name[at + 1]));
            } else {
                out.append(name, at, length);
            }
            at += length;
        } else {
            if (c == '\\')
                out += "\\\\";
            else if (!controls || (c >= 0x20 && c != 0x7F))
                out += static_cast<char>(c);
            else if (c == '\t')
                out += "\\t";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\r')
                out += "\\r";
            else
                appendHex(out, c);
            ++at;
        }
    }
}

std::string escapedName(std::string_view name, TNameEscape mode)
{
    std::string out;
    out.reserve(name.size());
    appendEscapedName(out, name, mode);
    return out;
}

std::string unescapeName(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\' || at + 1 == text.size()) {
            out += text[at];
            continue;
        }
        const char kind = text[at + 1];
        if (kind == '\\' || kind == 't' || kind == 'n' || kind == 'r') {
            out += kind == 't' ? '\t' : kind == 'n' ? '\n' : kind == 'r' ? '\r' : '\\';
            ++at;
        } else if (kind == 'x' && at + 3 < text.size() && hexValue(text[at + 2]) >= 0 && hexValue(text[at + 3]) >= 0) {
            out += static_cast<char>(hexValue(text[at + 2]) * 16 + hexValue(text[at + 3]));
            at += 3;
        } else {
            out += text[at];
        }
    }
    return out;
}
