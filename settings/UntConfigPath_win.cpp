#include "settings/UntConfigPath.h"

#include "util/UntText.h"
#include "util/UntWide.h"

#include <windows.h>

std::string executableFolder()
{
    // Long paths need more than MAX_PATH; the call truncates silently when the buffer is short.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return std::string(folderPart(toUtf8(path), TPathStyle::Windows));
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}
