#include "util/UntPathKind.h"

#include <string>

#include <sys/stat.h>

TPathKind lookupPathKind(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path.empty())
        return TPathKind::Missing;
    const std::string name(path);
    struct stat self {};
    if (stat(name.c_str(), &self) != 0)
        return TPathKind::Missing;
    if (!S_ISDIR(self.st_mode))
        return TPathKind::File;
    // A mount point sits on another filesystem than its parent; "/" is its own parent.
    const std::string parent = name + "/..";
    struct stat above {};
    if (stat(parent.c_str(), &above) != 0)
        return TPathKind::Folder;
    const bool root = self.st_dev != above.st_dev || self.st_ino == above.st_ino;
    return root ? TPathKind::Drive : TPathKind::Folder;
}
