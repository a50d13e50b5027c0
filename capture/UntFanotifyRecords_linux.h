// The bytes of a fanotify event with fid records, and the folder paths learnt from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// One fid record: a file or folder of one filesystem and, for the named records, an entry name.
struct TFidRecord {
    std::string fsid; // the filesystem's id bytes
    int handleType = 0;
    std::string handleBytes;
    std::optional<std::string> name;
    // Identifies the file or folder: filesystem, handle type and handle.
    std::string key() const;
};

struct TParsedEvent {
    std::uint64_t mask = 0;
    int pid = 0;
    int fd = -1;
    std::optional<TFidRecord> dirName; // the folder and the entry name
    std::optional<TFidRecord> oldDirName;
    std::optional<TFidRecord> newDirName;
    std::optional<TFidRecord> object; // the file or folder itself
};

// Reads the event at data, which may have any alignment, from at most size bytes. Returns the
// event's length, or 0 when the bytes hold no whole event. Throws std::runtime_error for an
// event layout of another kernel version.
std::size_t parseFanotifyEvent(const char* data, std::size_t size, TParsedEvent& event);

// The key a folder's record carries, from the handle name_to_handle_at gives for it.
std::string fidKey(std::string_view fsid, int handleType, std::string_view handleBytes);

// folder + "/" + name; the folder itself for an empty name or ".".
std::string joinPath(const std::string& folder, std::string_view name);

// Folder paths by handle. Learnt as folders are seen, so the events of a child whose folder was
// deleted meanwhile (its handle no longer opens) still find their path.
class TPathCache {
public:
    explicit TPathCache(std::size_t limit = 65536) : limit_(limit) {}
    const std::string* find(const std::string& key) const;
    void learn(const std::string& key, std::string path);
    // A watched root: kept when the cache is emptied.
    void pin(const std::string& key, std::string path) { roots_[key] = std::move(path); }
    void forget(const std::string& key) { paths_.erase(key); }
    // A renamed folder: every path at or below its old place is stale.
    void forgetUnder(const std::string& folder);
    std::size_t size() const { return paths_.size(); }

private:
    std::size_t limit_;
    std::unordered_map<std::string, std::string> paths_;
    std::unordered_map<std::string, std::string> roots_;
};
