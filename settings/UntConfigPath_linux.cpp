#include "settings/UntConfigPath.h"

#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string configFilePath()
{
    TConfigPlace place;
    place.programFolder = executableFolder();
    // Effective rights, as the save will use them; a read-only mount counts as not writable.
    place.programFolderWritable =
        !place.programFolder.empty() && ::faccessat(AT_FDCWD, place.programFolder.c_str(), W_OK, AT_EACCESS) == 0;
    struct stat helperFolder {};
    place.installedCopy = !place.programFolder.empty() &&
                          ::stat((place.programFolder + FM_HELPER_FROM_BINDIR).c_str(), &helperFolder) == 0 &&
                          S_ISDIR(helperFolder.st_mode);
    place.xdgConfigHome = environment("XDG_CONFIG_HOME");
    place.home = environment("HOME");
    if (place.home.empty())
        if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir)
            place.home = user->pw_dir;
    return chooseConfigPath(place);
}
