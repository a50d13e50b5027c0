#include "settings/UntIniUtilsObj.h"

#include "settings/UntIniStorage.h"
#include "util/UntText.h"
#include "util/UntTextFile.h"

#include <charconv>
#include <optional>

namespace {

std::optional<int> parseInteger(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

TIniWriteError::TIniWriteError(const std::string& path) : std::runtime_error("Unable to write to " + path), path_(path)
{
}

TIniUtilsObj::TIniUtilsObj(std::string path) : path_(std::move(path))
{
    std::string content;
    readable_ = readIniFile(path_, content);
    document_.parse(content);
}

TIniUtilsObj::~TIniUtilsObj()
{
    if (!dirty_ || failed_)
        return;
    try {
        flush();
    } catch (...) {
        // A destructor cannot report it; callers that care call flush() themselves.
    }
}

void TIniUtilsObj::writeString(std::string_view key, std::string_view value)
{
    document_.set(workingSection_, key, value);
    dirty_ = true;
}

std::string TIniUtilsObj::readString(std::string_view key, std::string_view defaultValue) const
{
    const std::string* value = document_.find(workingSection_, key);
    return value ? *value : std::string(defaultValue);
}

void TIniUtilsObj::writeInteger(std::string_view key, int value)
{
    writeString(key, std::to_string(value));
}

int TIniUtilsObj::readInteger(std::string_view key, int defaultValue) const
{
    const std::string* value = document_.find(workingSection_, key);
    return value ? parseInteger(*value).value_or(defaultValue) : defaultValue;
}

void TIniUtilsObj::writeBool(std::string_view key, bool value)
{
    writeString(key, value ? "1" : "0");
}

bool TIniUtilsObj::readBool(std::string_view key, bool defaultValue) const
{
    const std::string* value = document_.find(workingSection_, key);
    if (!value)
        return defaultValue;
    const std::optional<int> number = parseInteger(*value);
    return number ? *number != 0 : defaultValue;
}

void TIniUtilsObj::flush()
{
    if (!dirty_)
        return;
    // A file that could not be read is not replaced by what little this object knows.
    if (!readable_ || !replaceFileContents(path_, document_.serialize())) {
        failed_ = true;
        throw TIniWriteError(path_);
    }
    dirty_ = false;
    failed_ = false;
}
