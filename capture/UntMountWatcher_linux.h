// The mount table watched while recording: drives, media and network shares mounted and
// unmounted become events. /proc/self/mountinfo signals every change through poll(); the table is
// re-read at most once per interval, so a storm of mounts costs a few reads.
#pragma once

#include "util/UntFunctions.h"
#include "util/UntOsHandle.h"

#include <poll.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TMountChange {
    int eventNum = 0;
    std::string root; // the mount point with a trailing "/"
    bool added = false;
    bool localDrive = false; // a local block filesystem: one more drive to watch, or one gone
};

// What a mount is to the user: the event numbers when it comes and when it goes, or none.
enum class TMountClass { None, Drive, HotPlug, Media, Network };
TMountClass classifyMount(const TMountEntry& entry, bool removable);

// The changes from one table to the next: removals first, then additions, each in table order.
// A mount point mounted again with another filesystem is one removal and one addition.
std::vector<TMountChange> diffMountTables(const std::vector<TMountEntry>& before, const std::vector<TMountEntry>& after,
                                          const std::function<bool(const TMountEntry&)>& removable);

// The removable flag of the block device (or of the disk of a partition) by its major:minor.
bool isRemovableMount(const TMountEntry& entry);

class TMountWatcher {
public:
    explicit TMountWatcher(std::string tablePath = "/proc/self/mountinfo",
                           std::chrono::milliseconds interval = std::chrono::milliseconds(200));
    bool valid() const { return bool(table_); }
    const std::string& error() const { return error_; }
    int pollFd() const { return table_.get(); }
    // poll() marks a change of the table with these.
    static constexpr short kPollEvents = POLLPRI | POLLERR;
    // How long the caller may sleep: -1, or until a deferred re-read is due.
    int pollTimeout() const;
    // changed: poll() marked a change. Returns what changed since the last read, once the
    // interval since that read has passed.
    std::vector<TMountChange> serve(bool changed);
    // Whether path (without trailing "/", or "/") is a mount point of the current table.
    bool isMountPoint(const std::string& path) const;

private:
    std::vector<TMountEntry> read();

    std::string tablePath_;
    std::chrono::milliseconds interval_;
    TFdObj table_;
    std::string error_;
    std::vector<TMountEntry> mounts_;
    bool pending_ = false;
    std::chrono::steady_clock::time_point lastRead_;
};

// The system's mount table watcher, or null with the reason in error.
std::unique_ptr<TMountWatcher> openMountWatcher(std::string& error);
