#include "util/MD5Api.h"

#include "util/UntOsHandle.h"
#include "util/UntWide.h"

#include <algorithm>

namespace {

std::uint64_t roundToGranularity(std::uint64_t bytes)
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const std::uint64_t unit = info.dwAllocationGranularity > 0 ? info.dwAllocationGranularity : 65536;
    return std::max<std::uint64_t>(unit, (bytes + unit - 1) / unit * unit);
}

constexpr DWORD high32(std::uint64_t value)
{
    return static_cast<DWORD>(value >> 32);
}

constexpr DWORD low32(std::uint64_t value)
{
    return static_cast<DWORD>(value & 0xFFFFFFFFu);
}

} // namespace

// Released in reverse order: the mapping before the file.
struct TFileDigestObj::TImpl {
    THandleObj file;
    THandleObj mapping;
    std::uint64_t window = 0;
};

bool isExistingFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

TFileDigestObj::TFileDigestObj(const std::string& path, std::uint64_t windowBytes) : impl_(std::make_unique<TImpl>())
{
    impl_->window = roundToGranularity(windowBytes);
    THandleObj file(CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK)
        return;
    impl_->file = std::move(file);
    open_ = true;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(impl_->file.get(), &size) || size.QuadPart <= 0)
        return; // a zero-length file cannot be mapped
    // The mapping is exactly this size: if the file shrank meanwhile, the mapping fails instead of
    // covering fewer bytes than will be read.
    const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
    impl_->mapping =
        THandleObj(CreateFileMappingW(impl_->file.get(), nullptr, PAGE_READONLY, high32(bytes), low32(bytes), nullptr));
    if (impl_->mapping)
        size_ = bytes;
}

TFileDigestObj::~TFileDigestObj() = default;

std::optional<TMD5Digest> TFileDigestObj::digestUnless(const std::atomic<bool>& cancelled)
{
    TMD5Context context;
    md5Init(context);
    for (std::uint64_t offset = 0; offset < size_;) {
        if (cancelled.load(std::memory_order_relaxed))
            return std::nullopt;
        const auto length = static_cast<SIZE_T>(std::min(impl_->window, size_ - offset));
        const TMappedViewObj view(
            MapViewOfFile(impl_->mapping.get(), FILE_MAP_READ, high32(offset), low32(offset), length));
        if (!view)
            return md5Of(nullptr, 0);
        md5Update(context, view.data(), length);
        offset += length;
    }
    return md5Final(context);
}
