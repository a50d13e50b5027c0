#include "capture/UntFanotifyRecords_linux.h"

#include <fcntl.h>
#include <sys/fanotify.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

template <typename T> T readAt(const char* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

constexpr std::size_t kHandleHeader = 2 * sizeof(std::uint32_t); // handle_bytes, handle_type

// A fid record: header, filesystem id, then a struct file_handle and, for the named kinds, a
// NUL-terminated name, all within the record's length.
TFidRecord parseFid(const char* data, std::size_t length, bool named)
{
    constexpr std::size_t fsidAt = sizeof(fanotify_event_info_header);
    constexpr std::size_t handleAt = fsidAt + TFidRecord::kFsidSize;
    constexpr std::size_t bytesAt = handleAt + kHandleHeader;
    if (length < bytesAt)
        return {};
    const auto handleBytes = readAt<std::uint32_t>(data + handleAt);
    if (handleBytes > length - bytesAt)
        return {};
    TFidRecord record;
    record.key = std::string_view(data + fsidAt, TFidRecord::kFsidSize + kHandleHeader + handleBytes);
    if (named) {
        const char* name = data + bytesAt + handleBytes;
        record.name = std::string_view(name, strnlen(name, length - bytesAt - handleBytes));
    }
    return record;
}

} // namespace

std::string fidKey(std::string_view fsid, int handleType, std::string_view handleBytes)
{
    std::string key(fsid);
    const auto size = static_cast<std::uint32_t>(handleBytes.size());
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    key.append(reinterpret_cast<const char*>(&handleType), sizeof handleType);
    key.append(handleBytes);
    return key;
}

std::string fidKeyAt(int folder, const char* name, int flags, std::string_view fsid)
{
    std::uint64_t storage[kHandleStorageWords];
    auto* handle = reinterpret_cast<file_handle*>(storage);
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(folder, name, handle, &mountId, flags) != 0)
        return {};
    return fidKey(fsid, handle->handle_type,
                  std::string_view(reinterpret_cast<const char*>(handle->f_handle), handle->handle_bytes));
}

void* handleFromKey(std::string_view key, std::uint64_t (&storage)[kHandleStorageWords])
{
    const std::string_view handle = key.substr(std::min(key.size(), TFidRecord::kFsidSize));
    if (handle.size() < kHandleHeader || handle.size() > sizeof storage)
        return nullptr;
    std::memcpy(storage, handle.data(), handle.size());
    auto* fileHandle = reinterpret_cast<file_handle*>(storage);
    if (fileHandle->handle_bytes != handle.size() - kHandleHeader)
        return nullptr;
    return fileHandle;
}

std::size_t parseFanotifyEvent(const char* data, std::size_t size, TParsedEvent& event)
{
    if (size < sizeof(fanotify_event_metadata))
        return 0;
    // Events follow each other at 4-byte steps: copy before reading the 8-byte fields.
    const auto meta = readAt<fanotify_event_metadata>(data);
    if (meta.vers != FANOTIFY_METADATA_VERSION)
        throw std::runtime_error("fanotify event layout of another kernel version");
    if (meta.event_len < meta.metadata_len || meta.metadata_len < sizeof(fanotify_event_metadata) ||
        meta.event_len > size)
        return 0;
    event = TParsedEvent{};
    event.mask = meta.mask;
    event.pid = meta.pid;
    event.fd = meta.fd;
    std::size_t at = meta.metadata_len;
    while (at + sizeof(fanotify_event_info_header) <= meta.event_len) {
        const auto header = readAt<fanotify_event_info_header>(data + at);
        if (header.len < sizeof(fanotify_event_info_header) || header.len > meta.event_len - at)
            break;
        switch (header.info_type) {
        case FAN_EVENT_INFO_TYPE_DFID_NAME:
            event.dirName = parseFid(data + at, header.len, true);
            break;
        case FAN_EVENT_INFO_TYPE_DFID:
            event.dirName = parseFid(data + at, header.len, false);
            break;
        case FAN_EVENT_INFO_TYPE_OLD_DFID_NAME:
            event.oldDirName = parseFid(data + at, header.len, true);
            break;
        case FAN_EVENT_INFO_TYPE_NEW_DFID_NAME:
            event.newDirName = parseFid(data + at, header.len, true);
            break;
        case FAN_EVENT_INFO_TYPE_FID:
            event.object = parseFid(data + at, header.len, false);
            break;
        default:
            break;
        }
        at += header.len;
    }
    return meta.event_len;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path;
    if (name.empty() || name == ".") {
        path.assign(folder);
        return path;
    }
    const bool separator = folder.empty() || folder.back() != '/';
    path.reserve(folder.size() + separator + name.size());
    path.append(folder);
    if (separator)
        path += '/';
    path.append(name);
    return path;
}
