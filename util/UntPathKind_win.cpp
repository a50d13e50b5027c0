#include <windows.h>

#include "util/UntPathKind.h"
#include "util/UntWide.h"

#include <string>

TPathKind lookupPathKind(std::string_view path)
{
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.remove_suffix(1);
    if (path.empty())
        return TPathKind::Missing;
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TPathKind::Missing;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return TPathKind::File;
    const bool root = path.size() <= 3 && path.size() >= 2 && path[1] == ':';
    return root ? TPathKind::Drive : TPathKind::Folder;
}
