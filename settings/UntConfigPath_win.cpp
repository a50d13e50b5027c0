#include "settings/UntConfigPath.h"

// Always beside the program on Windows: the portable copy is the only way it is installed.
std::string configFilePath()
{
    return executableFolder() + "config.ini";
}
