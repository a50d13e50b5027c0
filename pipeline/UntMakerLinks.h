// The program's caption and the maker's name and addresses, shown in the main window, the About
// box and the help menu and written into the export report. Change them here only.
#pragma once

#include <string>
#include <string_view>

// The main window's caption before the computer name; also the first line of the export report.
inline constexpr const char* kDesignCaption = "Velmora Windows Files Monitor v1.1";

// The main window's caption, which the export report repeats: design caption, " - ", computer name.
inline std::string mainWindowCaption(std::string_view computerName)
{
    return std::string(kDesignCaption) + " - " + std::string(computerName);
}

inline constexpr const char* kMakerName = "Velmora Software";
inline constexpr const char* kMakerWebSite = "http://www.velmorasoftware.com";
inline constexpr const char* kMakerFacebook = "http://www.facebook.com/velmorasoftware";
inline constexpr const char* kMakerTwitter = "http://twitter.com/velmorasoftware";
inline constexpr const char* kMakerGooglePlus = "https://plus.google.com/+velmorasoftware";
