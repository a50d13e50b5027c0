// The maker's name and addresses, shown in the About box and the help menu and written
// into the export report. Change them here only.
#pragma once

inline constexpr const char* kMakerName = "Velmora Software";
inline constexpr const char* kMakerWebSite = "http://www.velmorasoftware.com";
inline constexpr const char* kMakerFacebook = "http://www.facebook.com/velmorasoftware";
inline constexpr const char* kMakerTwitter = "http://twitter.com/velmorasoftware";
inline constexpr const char* kMakerGooglePlus = "https://plus.google.com/+velmorasoftware";
