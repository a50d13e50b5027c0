#include "capture/UntFanotifyRecords_linux.h"

#include "util/UntText.h"

#include <sys/fanotify.h>

#include <cstring>
#include <stdexcept>

namespace {

template <typename T> T readAt(const char* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// A fid record: header, filesystem id, then a struct file_handle (bytes, type, handle bytes) and,
// for the named kinds, a NUL-terminated name, all within the record's length.
std::optional<TFidRecord> parseFid(const char* data, std::size_t length, bool named)
{
    constexpr std::size_t fsidAt = sizeof(fanotify_event_info_header);
    constexpr std::size_t fsidSize = sizeof(__kernel_fsid_t);
    constexpr std::size_t handleAt = fsidAt + fsidSize;
    constexpr std::size_t bytesAt = handleAt + 2 * sizeof(std::uint32_t);
    if (length < bytesAt)
        return std::nullopt;
    const auto handleBytes = readAt<std::uint32_t>(data + handleAt);
    if (handleBytes > length - bytesAt)
        return std::nullopt;
    TFidRecord record;
    record.fsid.assign(data + fsidAt, fsidSize);
    record.handleType = readAt<std::int32_t>(data + handleAt + sizeof(std::uint32_t));
    record.handleBytes.assign(data + bytesAt, handleBytes);
    if (named) {
        const char* name = data + bytesAt + handleBytes;
        const std::size_t room = length - bytesAt - handleBytes;
        record.name = std::string(name, strnlen(name, room));
    }
    return record;
}

} // namespace

std::string fidKey(std::string_view fsid, int handleType, std::string_view handleBytes)
{
    std::string key(fsid);
    key.append(reinterpret_cast<const char*>(&handleType), sizeof handleType);
    key.append(handleBytes);
    return key;
}

std::string TFidRecord::key() const
{
    return fidKey(fsid, handleType, handleBytes);
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
        const bool named = header.info_type == FAN_EVENT_INFO_TYPE_DFID_NAME ||
                           header.info_type == FAN_EVENT_INFO_TYPE_OLD_DFID_NAME ||
                           header.info_type == FAN_EVENT_INFO_TYPE_NEW_DFID_NAME;
        std::optional<TFidRecord>* slot = nullptr;
        switch (header.info_type) {
        case FAN_EVENT_INFO_TYPE_DFID_NAME:
        case FAN_EVENT_INFO_TYPE_DFID:
            slot = &event.dirName;
            break;
        case FAN_EVENT_INFO_TYPE_OLD_DFID_NAME:
            slot = &event.oldDirName;
            break;
        case FAN_EVENT_INFO_TYPE_NEW_DFID_NAME:
            slot = &event.newDirName;
            break;
        case FAN_EVENT_INFO_TYPE_FID:
            slot = &event.object;
            break;
        default:
            break;
        }
        if (slot)
            *slot = parseFid(data + at, header.len, named);
        at += header.len;
    }
    return meta.event_len;
}

std::string joinPath(const std::string& folder, std::string_view name)
{
    if (name.empty() || name == ".")
        return folder;
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

const std::string* TPathCache::find(const std::string& key) const
{
    auto it = paths_.find(key);
    if (it != paths_.end())
        return &it->second;
    auto root = roots_.find(key);
    return root == roots_.end() ? nullptr : &root->second;
}

void TPathCache::learn(const std::string& key, std::string path)
{
    if (paths_.size() >= limit_)
        paths_.clear();
    paths_[key] = std::move(path);
}

void TPathCache::forgetUnder(const std::string& folder)
{
    std::erase_if(paths_, [&](const auto& entry) { return isUnder(entry.second, folder, TPathStyle::Posix); });
}
