// Where the settings live: "config.ini" beside the running executable when its folder is writable
// (a build folder, a portable copy); otherwise, and always for an installed copy on Linux, in the
// user's configuration folder. Both programs ask configFilePath(), so they agree on the file.
#pragma once

#include "util/UntFunctions.h"

#include <string>

// What the choice depends on, gathered by configFilePath() and given directly by tests.
struct TConfigPlace {
    std::string programFolder; // with its trailing separator
    bool programFolderWritable = false;
    // Installed by cmake --install or the package: its folder is the system's (or the user's
    // ~/.local/bin), never the place for one user's settings, even where root may write there.
    bool installedCopy = false;
    std::string xdgConfigHome; // $XDG_CONFIG_HOME, may be empty
    std::string home;          // the user's home folder, may be empty
};

// programFolder + "config.ini" when that folder is writable and no installed copy, or when nothing
// else is known; otherwise
// $XDG_CONFIG_HOME/filesmonitor/config.ini, with ~/.config when XDG_CONFIG_HOME is unset or not
// an absolute path (as the base directory rules say).
std::string chooseConfigPath(const TConfigPlace& place);

// The file for this process.
std::string configFilePath();

// Creates the folders above path that are missing (the configuration folder on first save);
// false when they are still missing.
bool createConfigFolder(const std::string& path);
