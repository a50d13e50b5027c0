#include "settings/UntConfigStore.h"

#include "settings/Base64.h"
#include "settings/UntConfigPath.h"
#include "settings/UntExtensionParser.h"
#include "settings/UntIniUtilsObj.h"
#include "settings/UntSettingsKeys.h"
#include "settings/UntSettingsText.h"
#include "util/UntText.h"

#include <charconv>
#include <exception>

namespace {

std::array<bool, kEventCount> decodeEvents(const std::string& stored)
{
    const std::string text = base64ToText(stored);
    if (isBlank(text))
        return TSettingsData::allEventsSelected();
    const std::vector<std::string> lines = splitLines(text);
    if (lines.size() < kEventCount)
        return TSettingsData::allEventsSelected();
    std::array<bool, kEventCount> events{};
    for (std::size_t i = 0; i < events.size(); ++i)
        events[i] = lines[i] == "Y";
    return events;
}

std::string encodeEvents(const std::array<bool, kEventCount>& events)
{
    std::string text;
    for (const bool selected : events) {
        text += boolToYN(selected);
        text += "\r\n";
    }
    return textToBase64(text);
}

} // namespace

namespace {

void writeKey(TIniUtilsObj& ini, const TSettingsKey& key, std::string_view value)
{
    ini.setWorkingSection(key.section);
    ini.writeString(key.name, value);
}

std::string readKey(TIniUtilsObj& ini, const TSettingsKey& key)
{
    ini.setWorkingSection(key.section);
    return ini.readString(key.name, key.defaultValue);
}

} // namespace

void writeSettings(const std::string& path, const TSettingsData& data)
{
    TIniUtilsObj ini(path);
    writeKey(ini, kEventsKey, encodeEvents(data.events));
    writeKey(ini, kAutoCaptureKey, boolToYN(data.cAutoCapture));
    writeKey(ini, kTrayKey, boolToYN(data.cTray));
    writeKey(ini, kAutoClearKey, boolToYN(data.cautoclean));
    writeKey(ini, kAutoExpandKey, boolToYN(data.cAutoExpand));
    writeKey(ini, kExtensionsKey, textToBase64(entriesToListText(data.extensions)));
    writeKey(ini, kDirectoriesKey, textToBase64(entriesToListText(data.folders)));
    ini.flush();
}

std::string readCaptureBackend(const std::string& path)
{
    TIniUtilsObj ini(path);
    ini.setWorkingSection("CAPTURE");
    const std::string value(trimmed(ini.readString("BACKEND", "auto")));
    return value.empty() ? std::string("auto") : value;
}

std::string unreadSettingsText(const std::string& path, std::size_t unreadLines)
{
    return path + ": " + std::to_string(unreadLines) + (unreadLines == 1 ? " line" : " lines") +
           " could not be read; the settings not found there keep their defaults";
}

std::vector<std::string> restoreSettings(const std::string& path, TSettingsData& data, std::size_t* unreadLines)
{
    TIniUtilsObj ini(path);
    if (unreadLines)
        *unreadLines = ini.getUnreadLineCount();
    data.events = decodeEvents(readKey(ini, kEventsKey));
    data.cAutoCapture = ynToBool(readKey(ini, kAutoCaptureKey));
    data.cTray = ynToBool(readKey(ini, kTrayKey));
    data.cautoclean = ynToBool(readKey(ini, kAutoClearKey));
    data.cAutoExpand = ynToBool(readKey(ini, kAutoExpandKey));

    std::vector<std::string> added;
    // A list that cannot be restored stays as it was.
    try {
        const std::string stored = readKey(ini, kExtensionsKey);
        if (!isBlank(stored)) {
            const std::string text = base64ToText(stored);
            std::string commaSeparated;
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                    commaSeparated += ',';
                    ++i;
                } else {
                    commaSeparated += text[i];
                }
            }
            std::vector<std::string> merged = data.extensions;
            added = addExtensions(commaSeparated, merged);
            data.extensions = std::move(merged);
        }
    } catch (const std::exception&) {
        added.clear();
    }
    try {
        const std::string stored = readKey(ini, kDirectoriesKey);
        const std::string text = isBlank(stored) ? std::string() : base64ToText(stored);
        // A value with no decodable group counts as blank and keeps the rows.
        if (!text.empty())
            restoreDirsFilters(text, data.folders);
    } catch (const std::exception&) {
    }
    return added;
}

std::vector<std::string> saveSettings(const std::string& path, TSettingsData& data)
{
    std::exception_ptr failure;
    try {
        // The user's configuration folder may not exist before the first save; a folder that
        // cannot be made ends in the refused write below.
        createConfigFolder(path);
        writeSettings(path, data);
    } catch (...) {
        failure = std::current_exception();
    }
    std::vector<std::string> added = restoreSettings(path, data);
    if (failure)
        std::rethrow_exception(failure);
    return added;
}

TViewSettings readViewSettings(const std::string& path)
{
    TIniUtilsObj ini(path);
    TViewSettings data;
    data.timeColumn = ynToBool(readKey(ini, kTimeColumnKey));
    data.processColumn = ynToBool(readKey(ini, kProcessColumnKey));
    // Whole megabytes; anything else is the default.
    const std::string limit = std::string(trimmed(readKey(ini, kMemoryLimitKey)));
    std::uint64_t megabytes = 0;
    const auto [end, error] = std::from_chars(limit.data(), limit.data() + limit.size(), megabytes);
    if (error == std::errc() && end == limit.data() + limit.size() && megabytes > 0 && megabytes < (1ull << 40))
        data.memoryLimitMB = megabytes;
    return data;
}

void writeViewColumns(const std::string& path, const TViewSettings& data)
{
    TIniUtilsObj ini(path);
    writeKey(ini, kTimeColumnKey, boolToYN(data.timeColumn));
    writeKey(ini, kProcessColumnKey, boolToYN(data.processColumn));
    ini.flush();
}

void restoreDirsFilters(std::string_view listText, std::vector<std::string>& folders)
{
    std::vector<std::string> rows = splitLines(listText);
    folders = std::move(rows);
}
