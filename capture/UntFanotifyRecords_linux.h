// The bytes of a fanotify event with fid records, read in place: a parsed event points into the
// buffer it was read from and is valid until the next read, so decoding copies nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One fid record: a file or folder of one filesystem and, for the named records, an entry name.
struct TFidRecord {
    static constexpr std::size_t kFsidSize = 8;
    // Identifies the file or folder: the filesystem id, then the struct file_handle as the
    // kernel lays it out (handle size, handle type, handle bytes). fidKey() builds the same bytes.
    std::string_view key;
    std::string_view name; // the entry name of a named record; empty otherwise
    bool valid() const { return !key.empty(); }
    std::string_view fsid() const { return key.substr(0, kFsidSize); }
};

struct TParsedEvent {
    std::uint64_t mask = 0;
    int pid = 0;
    int fd = -1;
    TFidRecord dirName; // the folder and the entry name
    TFidRecord oldDirName;
    TFidRecord newDirName;
    TFidRecord object; // the file or folder itself
};

// Reads the event at data, which may have any alignment, from at most size bytes. Returns the
// event's length, or 0 when the bytes hold no whole event. Throws std::runtime_error for an
// event layout of another kernel version.
std::size_t parseFanotifyEvent(const char* data, std::size_t size, TParsedEvent& event);

// The key of a file or folder from its filesystem id and the handle name_to_handle_at gives.
std::string fidKey(std::string_view fsid, int handleType, std::string_view handleBytes);
// The key of the file or folder name names inside folder (name "" with AT_EMPTY_PATH in flags:
// folder itself), as name_to_handle_at gives it; empty when it cannot be had.
std::string fidKeyAt(int folder, const char* name, int flags, std::string_view fsid);
// The struct file_handle inside a key, copied into storage (aligned, at least handleStorageSize
// bytes); null when the key is too short for the handle it announces.
inline constexpr std::size_t kHandleStorageWords = 24; // 8 header bytes + MAX_HANDLE_SZ (128)
void* handleFromKey(std::string_view key, std::uint64_t (&storage)[kHandleStorageWords]);

// folder + "/" + name; the folder itself for an empty name or ".".
std::string joinPath(std::string_view folder, std::string_view name);
