// The settings that outlive a run, and their copy in "config.ini".
//
// File layout, in this order when written from scratch:
//   [EVENTS]  EVENTS      Base64 of one "Y"/"N" CR LF line per event number
//   [GLOBAL]  AUTOCAPTURE, TRAY, AUTOCLEAR, AUTOEXPAND   "Y" or "N"
//   [FILTERS] EXTENSIONS, DIRECTORIES   Base64 of the entries, each followed by CR LF
#pragma once

#include "events/UntEvents.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// What the settings window shows; the defaults are those of a missing file.
struct TSettingsData {
    std::array<bool, kEventCount> events = allEventsSelected(); // index = event number
    bool cAutoCapture = false;
    bool cTray = false;
    bool cautoclean = false;
    bool cAutoExpand = true;
    std::vector<std::string> extensions; // as addExtensions leaves them
    std::vector<std::string> folders;    // excluded folders, each ending in a separator

    static constexpr std::array<bool, kEventCount> allEventsSelected()
    {
        std::array<bool, kEventCount> all{};
        all.fill(true);
        return all;
    }
    friend bool operator==(const TSettingsData&, const TSettingsData&) = default;
};

// Writes the seven keys; throws TIniWriteError when the file cannot be written.
void writeSettings(const std::string& path, const TSettingsData& data);

// Reads the file into data. Missing keys keep their defaults (event flags all selected, "N"
// for the first three options, "Y" for AUTOEXPAND); a blank or short event value selects all
// events. Stored extensions are merged into data.extensions (the list is not cleared) and are
// returned in the order appended; stored folders replace data.folders row for row. Never throws
// for what the file holds; unreadLines, when given, gets the number of lines not understood.
std::vector<std::string> restoreSettings(const std::string& path, TSettingsData& data,
                                         std::size_t* unreadLines = nullptr);

// What the programs say once about a settings file with lines they could not read.
std::string unreadSettingsText(const std::string& path, std::size_t unreadLines);

// writeSettings, then (even when writing failed) restoreSettings into data, so data shows what
// the file now holds; then a write failure is passed on. Returns what restoreSettings returned.
std::vector<std::string> saveSettings(const std::string& path, TSettingsData& data);

// Replaces the folders with the lines of a list text, unchanged, duplicates included.
void restoreDirsFilters(std::string_view listText, std::vector<std::string>& folders);
