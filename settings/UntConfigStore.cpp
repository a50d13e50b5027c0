#include "settings/UntConfigStore.h"

#include "settings/Base64.h"
#include "settings/UntExtensionParser.h"
#include "settings/UntIniUtilsObj.h"
#include "settings/UntSettingsText.h"
#include "util/UntText.h"

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

void writeSettings(const std::string& path, const TSettingsData& data)
{
    TIniUtilsObj ini(path);
    ini.setWorkingSection("EVENTS");
    ini.writeString("EVENTS", encodeEvents(data.events));
    ini.setWorkingSection("GLOBAL");
    ini.writeString("AUTOCAPTURE", boolToYN(data.cAutoCapture));
    ini.writeString("TRAY", boolToYN(data.cTray));
    ini.writeString("AUTOCLEAR", boolToYN(data.cautoclean));
    ini.writeString("AUTOEXPAND", boolToYN(data.cAutoExpand));
    ini.setWorkingSection("FILTERS");
    ini.writeString("EXTENSIONS", textToBase64(entriesToListText(data.extensions)));
    ini.writeString("DIRECTORIES", textToBase64(entriesToListText(data.folders)));
    ini.flush();
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
    ini.setWorkingSection("EVENTS");
    data.events = decodeEvents(ini.readString("EVENTS", ""));

    ini.setWorkingSection("GLOBAL");
    data.cAutoCapture = ynToBool(ini.readString("AUTOCAPTURE", "N"));
    data.cTray = ynToBool(ini.readString("TRAY", "N"));
    data.cautoclean = ynToBool(ini.readString("AUTOCLEAR", "N"));
    data.cAutoExpand = ynToBool(ini.readString("AUTOEXPAND", "Y"));

    ini.setWorkingSection("FILTERS");
    std::vector<std::string> added;
    // A list that cannot be restored stays as it was.
    try {
        const std::string stored = ini.readString("EXTENSIONS", "");
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
        const std::string stored = ini.readString("DIRECTORIES", "");
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
        writeSettings(path, data);
    } catch (...) {
        failure = std::current_exception();
    }
    std::vector<std::string> added = restoreSettings(path, data);
    if (failure)
        std::rethrow_exception(failure);
    return added;
}

void restoreDirsFilters(std::string_view listText, std::vector<std::string>& folders)
{
    std::vector<std::string> rows = splitLines(listText);
    folders = std::move(rows);
}
