#include "settings/UntConfigPath.h"

std::string configFilePath()
{
    return executableFolder() + "config.ini";
}
