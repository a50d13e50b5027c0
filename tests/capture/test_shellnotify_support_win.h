// Helpers for the shell-notification tests: a sink that records what the worker delivers,
// a temporary folder on C:, and an owned item-ID list.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "pipeline/UntDeliverySink.h"
#include "pipeline/UntItemObj.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TRecordingSink final : public TDeliverySink {
public:
    void batchStart(int) override {}
    void treeStep(const TItemObj&) override {}
    void listStep(const TItemObj& item) override
    {
        std::lock_guard lock(mutex_);
        items_.push_back(item);
        changed_.notify_all();
    }
    void progress(int) override {}
    void batchEnd(bool) override {}

    // Waits until pred holds for the recorded items; the deadline only guards against a hang.
    bool waitFor(const std::function<bool(const std::vector<TItemObj>&)>& pred)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return pred(items_); });
    }
    std::vector<TItemObj> items()
    {
        std::lock_guard lock(mutex_);
        return items_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TItemObj> items_;
};

inline bool hasItem(const std::vector<TItemObj>& items, const std::string& item1, const std::string& item2, int eventNum)
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
        path_ = std::wstring(base) + L"fmshell-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64());
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
