// Every key of "config.ini": its section, its name and what a missing key reads as. The settings
// window writes the first seven, in this order, each time it is hidden; the main window writes
// its column choices when they change and only reads the memory limit, which is set by hand.
#pragma once

#include <array>

struct TSettingsKey {
    const char* section;
    const char* name;
    const char* defaultValue;
};

inline constexpr TSettingsKey kEventsKey{"EVENTS", "EVENTS", ""}; // Base64 of "Y"/"N" lines
inline constexpr TSettingsKey kAutoCaptureKey{"GLOBAL", "AUTOCAPTURE", "N"};
inline constexpr TSettingsKey kTrayKey{"GLOBAL", "TRAY", "N"};
inline constexpr TSettingsKey kAutoClearKey{"GLOBAL", "AUTOCLEAR", "N"};
inline constexpr TSettingsKey kAutoExpandKey{"GLOBAL", "AUTOEXPAND", "Y"};
inline constexpr TSettingsKey kExtensionsKey{"FILTERS", "EXTENSIONS", ""};   // Base64 of a list text
inline constexpr TSettingsKey kDirectoriesKey{"FILTERS", "DIRECTORIES", ""}; // Base64 of a list text
inline constexpr TSettingsKey kTimeColumnKey{"VIEWS", "TIMECOLUMN", "N"};
inline constexpr TSettingsKey kProcessColumnKey{"VIEWS", "PROCESSCOLUMN", "N"};
inline constexpr TSettingsKey kMemoryLimitKey{"VIEWS", "MEMORYLIMITMB", "2048"}; // megabytes

inline constexpr std::array kSettingsKeys = {kEventsKey,        kAutoCaptureKey, kTrayKey,        kAutoClearKey,
                                             kAutoExpandKey,    kExtensionsKey,  kDirectoriesKey, kTimeColumnKey,
                                             kProcessColumnKey, kMemoryLimitKey};
