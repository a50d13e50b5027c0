#include "settings/UntIniStorage.h"

#include "util/UntOsHandle.h"
#include "util/UntWide.h"

bool readIniFile(const std::string& path, std::string& content)
{
    content.clear();
    THandleObj file(CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        return false;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            content.clear();
            return false;
        }
        if (got == 0)
            return true;
        content.append(buffer, got);
    }
}
