// Helpers for the shell-notification tests: a test for a delivered item, a temporary folder
// on C:, and an owned item-ID list. The sink that records deliveries is TCollectingSink.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "events/UntItemObj.h"

#include <atomic>
#include <string>
#include <vector>

inline bool hasItem(const std::vector<TItemObj>& items, const std::string& item1, const std::string& item2,
                    int eventNum)
{
    for (const auto& item : items)
        if (item.getItem1() == item1 && item.getItem2() == item2 && item.getEventNum() == eventNum)
            return true;
    return false;
}

// An item-ID list freed with the shell's allocator.
class TIdList {
public:
    explicit TIdList(PIDLIST_ABSOLUTE pidl = nullptr) : pidl_(pidl) {}
    ~TIdList() { ILFree(pidl_); }
    TIdList(const TIdList&) = delete;
    TIdList& operator=(const TIdList&) = delete;
    PIDLIST_ABSOLUTE get() const { return pidl_; }

private:
    PIDLIST_ABSOLUTE pidl_;
};

// A fresh folder under the temporary folder (on C:), removed with its files afterwards.
class TTempFolder {
public:
    TTempFolder()
    {
        wchar_t base[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, base);
        // Two made within one tick of the clock still differ.
        static std::atomic<unsigned> made{0};
        path_ = std::wstring(base) + L"fmshell-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(made.fetch_add(1));
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TTempFolder() { removeTree(L"\\\\?\\" + path_); }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::wstring& path() const { return path_; }

private:
    static void removeTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring child = folder + L"\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    removeTree(child);
                else
                    DeleteFileW(child.c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring path_;
};

inline bool createEmptyFile(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}
