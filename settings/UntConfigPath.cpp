#include "settings/UntConfigPath.h"

#include "util/UntFsPath.h"

#include <filesystem>
#include <system_error>

std::string chooseConfigPath(const TConfigPlace& place)
{
    const std::string beside = place.programFolder + "config.ini";
    if (place.programFolderWritable && !place.installedCopy)
        return beside;
    std::string base;
    if (!place.xdgConfigHome.empty() && place.xdgConfigHome.front() == '/')
        base = place.xdgConfigHome;
    else if (!place.home.empty() && place.home.front() == '/')
        base = place.home + (place.home.back() == '/' ? ".config" : "/.config");
    else
        return beside; // no user folder known: the only place left, whose write error says why
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/filesmonitor/config.ini";
}

bool createConfigFolder(const std::string& path)
{
    const std::filesystem::path folder = nativePath(path).parent_path();
    if (folder.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}
