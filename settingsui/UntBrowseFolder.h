// The system's folder picker.
#pragma once

#include <string>

// Runs the picker modally over the application's top-level window, opened at initialFolder
// (when not empty). Returns the chosen folder in native form, or an empty text when the user
// cancels. Without allowNewFolder the picker offers no way to create a folder.
std::string browseForFolder(const std::string& title, const std::string& initialFolder, bool allowNewFolder);
