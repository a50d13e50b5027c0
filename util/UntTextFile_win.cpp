#include "util/UntTextFile.h"

#include "util/UntOsHandle.h"
#include "util/UntWide.h"

#include <algorithm>
#include <atomic>

namespace {

bool writeAll(HANDLE file, std::string_view data)
{
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0)
            return false;
        data.remove_prefix(written);
    }
    return true;
}

// Removes the temporary file unless it was moved into place.
class TTempFileGuard {
public:
    explicit TTempFileGuard(std::wstring path) : path_(std::move(path)) {}
    TTempFileGuard(const TTempFileGuard&) = delete;
    TTempFileGuard& operator=(const TTempFileGuard&) = delete;
    ~TTempFileGuard()
    {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    void release() { path_.clear(); }

private:
    std::wstring path_;
};

THandleObj createTemporary(const std::string& folder, std::string_view name, std::wstring& tempPath)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = toWide(folder + "." + std::string(name) + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(counter.fetch_add(1)));
        THandleObj file(
            CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return THandleObj{};
}

} // namespace

std::string utf8ToCodePage(std::string_view utf8, unsigned codePage)
{
    const std::wstring wide = toWide(utf8);
    if (wide.empty())
        return {};
    // No flags and no explicit default character: every code page (UTF-8 included) accepts that,
    // and characters it cannot hold become the page's default character.
    const int size =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string toSystemCharset(std::string_view utf8)
{
    return utf8ToCodePage(utf8, CP_ACP);
}

bool replaceFileContents(const std::string& path, std::string_view content)
{
    const std::wstring target = toWide(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;

    // The temporary file goes next to the target; either separator may appear in the path.
    const std::size_t cut = path.find_last_of("\\/:");
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    std::wstring tempPath;
    THandleObj file = createTemporary(folder, std::string_view(path).substr(folder.size()), tempPath);
    if (!file)
        return false;
    TTempFileGuard guard(tempPath);
    if (!writeAll(file.get(), content) || !FlushFileBuffers(file.get()) || !file.close())
        return false;
    if (!MoveFileExW(tempPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    guard.release();
    return true;
}
