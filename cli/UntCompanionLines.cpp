#include "cli/UntCompanionLines.h"

#include "events/UntEvents.h"
#include "util/UntNameEscape.h"
#include "util/UntText.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr TPathStyle kStyle = kNativePathStyle;

std::string_view actionName(int eventNum)
{
    const std::vector<std::string>& names = eventNames();
    if (eventNum < 0 || static_cast<std::size_t>(eventNum) >= names.size() || isBlank(names[eventNum]))
        return "Unknown";
    return names[eventNum];
}

// Escapes each name of a path and keeps its separators, which no name holds: a Windows path
// keeps its backslashes.
void appendEscapedPath(std::string& out, std::string_view path)
{
    const char separator = pathSeparator(kStyle);
    for (std::size_t at = 0;;) {
        const std::size_t cut = path.find(separator, at);
        appendEscapedName(out, path.substr(at, cut == std::string_view::npos ? cut : cut - at), TNameEscape::Controls);
        if (cut == std::string_view::npos)
            return;
        out += separator;
        at = cut + 1;
    }
}

// A JSON string: quotes, backslashes and control characters escaped; everything else as it is.
void appendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    std::size_t plain = 0; // start of the run that needs no escape
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(text, plain, at - plain);
        plain = at + 1;
        out += '\\';
        switch (c) {
        case '"':
        case '\\':
            out += static_cast<char>(c);
            break;
        case '\n':
            out += 'n';
            break;
        case '\r':
            out += 'r';
            break;
        case '\t':
            out += 't';
            break;
        default: {
            constexpr char kDigits[] = "0123456789abcdef";
            out += "u00";
            out += kDigits[c >> 4];
            out += kDigits[c & 0x0F];
        }
        }
    }
    out.append(text, plain, text.size() - plain);
    out += '"';
}

// Printable ASCII that needs no JSON escape, as nearly every path is: valid UTF-8 as it stands
// and appended in one piece. One pass without an early exit, which the compiler can widen.
bool isPlainJson(std::string_view text)
{
    unsigned bad = 0;
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        bad |= static_cast<unsigned>(c < 0x20) | static_cast<unsigned>(c >= 0x7F) | static_cast<unsigned>(c == '"') |
               static_cast<unsigned>(c == '\\');
    }
    return bad == 0;
}

template <typename Number> void appendNumber(std::string& out, Number value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

} // namespace

void TLineWriter::append(std::string& out, const TItemObj& item)
{
    if (format_ == TOutputFormat::Json)
        appendJson(out, item);
    else
        appendText(out, item);
    out += '\n';
}

void TLineWriter::appendText(std::string& out, const TItemObj& item) const
{
    const std::string& first = item.getItem1();
    const std::string& second = item.getItem2();
    if (isBlank(first)) {
        out += '-';
    } else {
        const std::string_view name = fileNamePart(first, kStyle);
        appendEscapedPath(out, isBlank(name) ? std::string_view(first) : name); // a root has no name
    }
    out += '\t';
    if (isBlank(second))
        out += '-';
    else
        appendEscapedPath(out, fileNamePart(second, kStyle));
    out += '\t';
    out += actionName(item.getEventNum());
    out += '\t';
    appendEscapedPath(out, folderPart(first, kStyle));
    out += '\t';
}

void TLineWriter::appendJson(std::string& out, const TItemObj& item)
{
    const TEventOrigin& origin = item.getOrigin();
    const bool plain = isPlainJson(item.getItem1()) && isPlainJson(item.getItem2()) && isPlainJson(origin.process);
    const bool escaped =
        !plain && (!isValidUtf8(item.getItem1()) || !isValidUtf8(item.getItem2()) || !isValidUtf8(origin.process));
    const auto name = [&](std::string_view text) {
        if (plain) {
            out += '"';
            out += text;
            out += '"';
            return;
        }
        if (!escaped) {
            appendJsonString(out, text);
            return;
        }
        scratch_.clear();
        appendEscapedName(scratch_, text, TNameEscape::InvalidUtf8);
        appendJsonString(out, scratch_);
    };
    out += R"({"time":")";
    appendTime(out, origin.time.time_since_epoch().count() != 0 ? origin.time : std::chrono::system_clock::now());
    out += R"(","event":)";
    appendNumber(out, item.getEventNum());
    out += R"(,"action":)";
    appendJsonString(out, actionName(item.getEventNum()));
    out += R"(,"path":)";
    name(item.getItem1());
    out += R"(,"newPath":)";
    name(item.getItem2());
    if (origin.pid > 0) {
        out += R"(,"pid":)";
        appendNumber(out, origin.pid);
    }
    if (!origin.process.empty()) {
        out += R"(,"process":)";
        name(origin.process);
    }
    if (escaped)
        out += R"(,"pathEncoding":"escaped")";
    out += '}';
}

void TLineWriter::appendTime(std::string& out, std::chrono::system_clock::time_point time)
{
    if (time != lastTime_ || lastTimeText_.empty()) {
        lastTime_ = time;
        lastTimeText_ = formatUtcTime(time);
    }
    out += lastTimeText_;
}

std::string formatTextRow(const TItemObj& item)
{
    std::string line;
    TLineWriter(TOutputFormat::Text).append(line, item);
    line.pop_back();
    return line;
}

std::string formatJsonLine(const TItemObj& item)
{
    std::string line;
    TLineWriter(TOutputFormat::Json).append(line, item);
    line.pop_back();
    return line;
}

std::string formatUtcTime(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto millis = floor<milliseconds>(time);
    const auto day = floor<days>(millis);
    const year_month_day date{day};
    const hh_mm_ss clock{millis - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}
