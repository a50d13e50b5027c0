// Where the settings live: "config.ini" in the folder of the running executable.
#pragma once

#include "util/UntFunctions.h"

#include <string>

// executableFolder() + "config.ini".
std::string configFilePath();
