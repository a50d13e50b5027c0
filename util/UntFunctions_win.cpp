#include "util/UntFunctions.h"
#include "util/UntWide.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// GetWindowsDirectoryW: the folder without trailing "\", empty on failure. A folder longer
// than the first buffer is read again with the size the call asked for, never cut.
std::wstring windowsDirectory()
{
    std::wstring buffer(MAX_PATH, L'\0');
    UINT length = GetWindowsDirectoryW(buffer.data(), MAX_PATH);
    if (length >= MAX_PATH) {
        buffer.assign(length, L'\0');
        length = GetWindowsDirectoryW(buffer.data(), length);
        if (length >= buffer.size())
            return {};
    }
    buffer.resize(length);
    return buffer;
}

std::wstring driveRoot(int letter)
{
    return std::wstring{static_cast<wchar_t>(L'A' + letter), L':', L'\\'};
}

} // namespace

std::string getComputerName()
{
    wchar_t name[256] = {};
    DWORD size = 256;
    if (!GetComputerNameW(name, &size))
        return "Unknow";
    return toUtf8(std::wstring_view(name, lstrlenW(name)));
}

namespace {

// Fixed and removable drives in letter order, without touching their volumes.
std::vector<TDriveInfo> listDrives()
{
    std::vector<TDriveInfo> drives;
    const DWORD mask = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (!(mask & (1u << letter)))
            continue;
        const std::wstring root = driveRoot(letter);
        const UINT type = GetDriveTypeW(root.c_str());
        if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE)
            continue;
        drives.push_back(TDriveInfo{toUtf8(root), {}, {}, type == DRIVE_REMOVABLE});
    }
    return drives;
}

} // namespace

std::vector<TDriveInfo> getDriveInfos()
{
    auto drives = listDrives();
    for (auto& drive : drives)
        drive.fsType = getFileSystemName(drive.root);
    return drives;
}

std::string getFixedDrives()
{
    return driveListText(listDrives());
}

std::string getFileSystemName(std::string root)
{
    wchar_t name[MAX_PATH + 1] = {};
    DWORD maxComponent = 0;
    DWORD flags = 0;
    const std::wstring wideRoot = toWide(root);
    if (!GetVolumeInformationW(wideRoot.c_str(), nullptr, 0, nullptr, &maxComponent, &flags, name, MAX_PATH + 1))
        return "NTFS";
    return toUtf8(std::wstring_view(name, lstrlenW(name)));
}

std::uint64_t getDiskSpace(std::string root, bool total)
{
    ULARGE_INTEGER freeToCaller{};
    ULARGE_INTEGER totalBytes{};
    const std::wstring wideRoot = toWide(root);
    if (!GetDiskFreeSpaceExW(wideRoot.c_str(), &freeToCaller, &totalBytes, nullptr))
        return 0;
    return total ? totalBytes.QuadPart : freeToCaller.QuadPart;
}

std::string getWindowsDir()
{
    return toUtf8(windowsDirectory()) + "\\";
}

std::string getSystemDriveRoot()
{
    const std::wstring dir = windowsDirectory();
    if (dir.empty())
        return "c:\\";
    // The drive part: "C:" for an ordinary path, "\\server\share" for a network path.
    std::size_t end = 0;
    if (dir.size() >= 2 && dir[1] == L':') {
        end = 2;
    } else if (dir.size() >= 2 && dir[0] == L'\\' && dir[1] == L'\\') {
        end = dir.find(L'\\', 2);
        end = end == std::wstring::npos ? dir.size() : dir.find(L'\\', end + 1);
        if (end == std::wstring::npos)
            end = dir.size();
    }
    return toUtf8(std::wstring_view(dir).substr(0, end)) + "\\";
}

void shellOpen(std::string target)
{
    const std::wstring wide = toWide(target);
    ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOW);
}

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
