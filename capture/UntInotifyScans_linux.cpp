// Watching the folders of the tree: the walk of what was there before, and the scans of folders
// that arrive while recording, whose findings TScanOrder puts in their places.
#include "capture/UntInotifyCapture_linux.h"

#include "capture/UntFanotifyRecords_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <tuple>
#include <vector>

namespace inotifycapture {
namespace {

// A new folder's entry, ordered by when it was made: its birth (or change) time, which is only as
// fine as the kernel's clock tick, then its inode number, which filesystems hand out in rising
// order as entries are made.
struct TFinding {
    std::int64_t born; // nanoseconds
    std::uint64_t inode;
    std::string name;
    TItemObj item;
};

} // namespace

// A folder's watch, or -1 when refused; a refusal is counted and, past the limit, said once.
// where names the folder for the kernel, path for the user.
int TInotifyBackend::addFolderWatch(const std::string& where, const std::string& path)
{
    const bool full = options_.maxWatches && watches_.size() >= options_.maxWatches;
    const int wd = full ? -1 : ::inotify_add_watch(inotify_.get(), where.c_str(), watchMask());
    if (wd >= 0)
        return wd;
    if (full || errno == ENOSPC) {
        // Never fatal: the folder stays unwatched and is counted; its subfolders too.
        unwatched_.fetch_add(1);
        limitReached_.store(true);
    } else if (errno != ENOENT && errno != ENOTDIR) {
        const int error = errno;
        if (unwatched_.fetch_add(1) < 100)
            warn("inotify refused a watch on " + path + ": " + errorText(error));
    }
    return -1;
}

// A folder new in the tree: its watch now, so that nothing made in it from here on is missed,
// and its scan as soon as the queue is empty.
void TInotifyBackend::watchNew(int parent, std::string_view name, const std::string& path, bool report)
{
    ++newFolders_;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return; // gone again: the kernel reports what happened to it
    const int wd = addFolderWatch(path, path);
    if (wd < 0) {
        reported_.push_back({-1, path, status.st_dev, report});
        return;
    }
    if (watches_.contains(wd))
        return; // found by a scan already
    watches_.learn(wd, parent, std::string(name));
    scanOrder_.awaitScan(wd);
    reported_.push_back({wd, {}, status.st_dev, report});
}

// The new folders waiting now, one level of the tree a turn: their subfolders wait for the next,
// after these findings are settled, so a folder is always reported before what it holds.
void TInotifyBackend::scanReported(TDrain& drain, std::size_t budget)
{
    std::deque<TScanItem> below;
    for (std::size_t count = std::min(budget, reported_.size()); count > 0; --count) {
        const TScanItem item = std::move(reported_.front());
        reported_.pop_front();
        scan(item, drain, below);
    }
    reported_.insert(reported_.end(), std::make_move_iterator(below.begin()), std::make_move_iterator(below.end()));
}

// The folders there before the recording, or again after an overflow: watched, not reported.
void TInotifyBackend::walk(TDrain& drain, std::size_t budget)
{
    for (std::size_t done = 0; done < budget && !toWalk_.empty(); ++done) {
        const TScanItem item = std::move(toWalk_.front());
        toWalk_.pop_front();
        std::deque<TScanItem> below;
        scan(item, drain, below);
        toWalk_.insert(toWalk_.begin(), std::make_move_iterator(below.begin()), std::make_move_iterator(below.end()));
    }
}

// Reads one folder: each subfolder gets its watch (before its own scan), and for a folder new in
// the tree each entry is a finding.
void TInotifyBackend::scan(const TScanItem& item, TDrain& drain, std::deque<TScanItem>& below)
{
    const std::string* known = item.wd >= 0 ? watches_.path(item.wd) : &item.path;
    if (!known) {
        scanOrder_.scanned(item.wd); // its watch ended meanwhile
        return;
    }
    const std::string folder = *known; // the tree may move while the folder is read
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir && errno == ENOENT && item.wd >= 0) {
        // Renamed since the last read: the rename is on its way, and a later turn knows the new
        // path. A folder deleted or moved out loses its watch meanwhile and is dropped above.
        TScanItem again = item;
        if (again.missingSince == TClock::time_point())
            again.missingSince = drain.now;
        if (drain.now - again.missingSince < kScanRetryTime) {
            (item.report ? reported_ : toWalk_).push_back(std::move(again));
            return;
        }
    }
    // Entries are reached through the open folder, which stays right if the folder is renamed
    // meanwhile; the paths reported are the ones it had when the scan began.
    const std::string opened = dir ? "/proc/self/fd/" + std::to_string(::dirfd(dir.get())) + "/" : std::string();
    std::vector<TFinding> findings;
    while (const dirent* entry = dir ? ::readdir(dir.get()) : nullptr) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = joinPath(folder, name);
        bool isFolder = entry->d_type == DT_DIR;
        dev_t device = item.device;
        std::int64_t born = std::numeric_limits<std::int64_t>::max(); // gone meanwhile: last
        std::uint64_t inode = entry->d_ino;
        // What a new folder holds is reported in the order it was made, not the folder's own
        // order (a tmpfs lists the newest first); a walk needs only the type and the device.
        if (item.report || entry->d_type == DT_UNKNOWN || isFolder) {
            const unsigned int wanted = item.report ? STATX_TYPE | STATX_INO | STATX_BTIME | STATX_CTIME : STATX_TYPE;
            struct statx status {};
            if (::statx(::dirfd(dir.get()), entry->d_name, AT_SYMLINK_NOFOLLOW, wanted, &status) == 0) {
                isFolder = S_ISDIR(status.stx_mode);
                device = makedev(status.stx_dev_major, status.stx_dev_minor);
                const statx_timestamp& time = (status.stx_mask & STATX_BTIME) ? status.stx_btime : status.stx_ctime;
                born = time.tv_sec * 1'000'000'000LL + time.tv_nsec;
                inode = status.stx_ino;
            } else if (!item.report || entry->d_type == DT_UNKNOWN) {
                continue; // gone meanwhile, and nothing to report of it
            }
        }
        // Another filesystem mounted inside is a drive of its own.
        if (isFolder && device == item.device) {
            const int wd = addFolderWatch(opened + entry->d_name, path);
            if (wd < 0) {
                below.push_back({-1, path, device, item.report});
            } else if (!watches_.contains(wd) || !item.report) {
                // A folder known already waits for its own scan; a walk goes through all of them.
                const bool fresh = !watches_.contains(wd);
                if (item.wd >= 0)
                    watches_.learn(wd, item.wd, std::string(name));
                else if (fresh)
                    watches_.learnTop(wd, path);
                if (fresh && item.report)
                    scanOrder_.awaitScan(wd);
                below.push_back({wd, {}, device, item.report});
            }
        }
        const int kind = isFolder ? evMkDir : evCreate;
        if (item.report && kinds_[kind] && scanOrder_.reports(item.wd, name))
            findings.push_back(
                {born, inode, std::string(name), TItemObj(std::move(path), {}, kind, TEventOrigin{drain.time, 0, {}})});
    }
    std::stable_sort(findings.begin(), findings.end(), [](const TFinding& a, const TFinding& b) {
        return std::tie(a.born, a.inode) < std::tie(b.born, b.inode);
    });
    for (TFinding& finding : findings)
        scanOrder_.found(item.wd, finding.name, drain.items.size(), std::move(finding.item));
    scanOrder_.scanned(item.wd);
}

} // namespace inotifycapture
