// Where the settings live: "config.ini" in the folder of the running executable.
#pragma once

#include <string>

// The executable's folder with its trailing separator; empty when the system cannot say.
std::string executableFolder();
// executableFolder() + "config.ini".
std::string configFilePath();
