#include "capture/UntInotifyCapture_linux.h"

#include "capture/UntFanotifyRecords_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace inotifycapture {

void TInotifyBackend::decode(const inotify_event& event, std::vector<TItemObj>& items)
{
    const std::uint32_t mask = event.mask;
    if (mask & IN_Q_OVERFLOW) {
        settleMoves(items, true);
        overflows_.fetch_add(1);
        if (kinds_[evUpdateDir])
            for (const std::string& root : roots_)
                emit(items, evUpdateDir, root);
        // Folders created meanwhile may be unwatched: the walk finds and watches them.
        for (const std::string& root : roots_) {
            struct stat status {};
            if (::stat(root.c_str(), &status) == 0)
                toWalk_.push_back({root, status.st_dev, false});
        }
        return;
    }
    if (mask & IN_IGNORED) {
        // The folder was deleted, moved out or unmounted: its watch is gone, which is no error.
        watches_.ended(event.wd);
        return;
    }
    // Any other event settles the rename halves before it, so the order stays as it happened and
    // a folder moved out has lost its watches before its later events are looked at.
    if (!(mask & (IN_MOVED_FROM | IN_MOVED_TO)))
        settleMoves(items, true);
    const std::string* folderPath = watches_.pathOf(event.wd);
    if (!folderPath)
        return;
    const std::string name = event.len ? std::string(event.name) : std::string();
    const std::string path = joinPath(*folderPath, name);
    const bool folder = mask & IN_ISDIR;

    if (mask & IN_MOVED_FROM) {
        moves_.push_back({event.cookie, path, folder, TClock::now()});
        return;
    }
    if (mask & IN_MOVED_TO) {
        auto half =
            std::find_if(moves_.begin(), moves_.end(), [&](const TMoveHalf& m) { return m.cookie == event.cookie; });
        if (half == moves_.end()) {
            arrived(path, folder, items);
            return;
        }
        TMoveHalf from = std::move(*half);
        moves_.erase(half);
        if (folder)
            renameUnder(from.path, path);
        scanned_.erase(from.path);
        if (kinds_[folder ? evRenameFolder : evRenameFile])
            emit(items, folder ? evRenameFolder : evRenameFile, from.path, path);
        return;
    }
    if (name.empty()) {
        // A watched folder's own change: its parent's watch reports it too, except for a root.
        if ((mask & IN_ATTRIB) && kinds_[evAttributes] && isRootWatch(event.wd))
            emit(items, evAttributes, path);
        return;
    }
    if (mask & IN_CREATE) {
        if (wasScanned(path))
            return;
        if (folder && watches_.isWatched(path))
            return; // reported by the scan of its parent
        arrived(path, folder, items);
    }
    if ((mask & IN_MODIFY) && !folder && kinds_[evUpdateFile] && modify_.due(path))
        emit(items, evUpdateFile, path);
    if ((mask & IN_ATTRIB) && kinds_[evAttributes])
        emit(items, evAttributes, path);
    if (mask & IN_DELETE) {
        scanned_.erase(path);
        if (folder)
            watches_.forgetUnder(path); // its watch ends by itself; a new folder of that name is new

        if (kinds_[folder ? evRmDir : evDelete])
            emit(items, folder ? evRmDir : evDelete, path);
    }
}

// A rename half whose pair did not come: moved out of the watched tree, so gone from it.
void TInotifyBackend::settleMoves(std::vector<TItemObj>& items, bool all)
{
    const auto now = TClock::now();
    while (!moves_.empty() && (all || now - moves_.front().seen >= kPairGrace)) {
        TMoveHalf half = std::move(moves_.front());
        moves_.pop_front();
        movedOut(half, items);
    }
}

void TInotifyBackend::movedOut(const TMoveHalf& half, std::vector<TItemObj>& items)
{
    scanned_.erase(half.path);
    if (half.folder)
        watches_.forgetUnder(half.path, [this](int wd) { ::inotify_rm_watch(inotify_.get(), wd); });
    if (kinds_[half.folder ? evRmDir : evDelete])
        emit(items, half.folder ? evRmDir : evDelete, half.path);
}

// Created, or moved in from outside: a create, and for a folder everything inside it.
void TInotifyBackend::arrived(const std::string& path, bool folder, std::vector<TItemObj>& items)
{
    if (!folder) {
        if (kinds_[evCreate])
            emit(items, evCreate, path);
        return;
    }
    if (kinds_[evMkDir])
        emit(items, evMkDir, path);
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        toWalk_.push_front({path, status.st_dev, true});
        walk(items, SIZE_MAX, true);
    }
}

// Watches the queued folders. New folders (reported) are walked whole at once, ahead of the
// initial walk, so their content is reported in order; the initial walk goes a slice at a time.
void TInotifyBackend::walk(std::vector<TItemObj>& items, std::size_t budget, bool reportedOnly)
{
    for (std::size_t done = 0; done < budget && !toWalk_.empty(); ++done) {
        if (reportedOnly && !toWalk_.front().report)
            return;
        TWalkItem item = std::move(toWalk_.front());
        toWalk_.pop_front();
        std::deque<TWalkItem> below;
        watchFolder(item, items, below);
        toWalk_.insert(toWalk_.begin(), below.begin(), below.end()); // depth first: parents before children
    }
}

// The watch first, then the scan: whatever is created after the scan is reported by the watch.
void TInotifyBackend::watchFolder(const TWalkItem& item, std::vector<TItemObj>& items, std::deque<TWalkItem>& below)
{
    if (!watches_.isWatched(item.path)) {
        const bool full = options_.maxWatches && watches_.size() >= options_.maxWatches;
        const int wd = full ? -1 : ::inotify_add_watch(inotify_.get(), item.path.c_str(), watchMask());
        if (wd >= 0) {
            watches_.add(wd, item.path);
        } else if (full || errno == ENOSPC) {
            // Never fatal: the folder stays unwatched and is counted; its subfolders too.
            unwatched_.fetch_add(1);
            limitReached_.store(true);
        } else if (errno != ENOENT && errno != ENOTDIR) {
            const int error = errno;
            if (unwatched_.fetch_add(1) < 100)
                warn("inotify refused a watch on " + item.path + ": " + errorText(error));
        }
    }
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(item.path.c_str()), ::closedir);
    if (!dir)
        return;
    const auto now = TClock::now();
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = joinPath(item.path, name);
        bool folder = entry->d_type == DT_DIR;
        dev_t device = item.device;
        if (entry->d_type == DT_UNKNOWN || folder) {
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0)
                continue;
            folder = S_ISDIR(status.st_mode);
            device = status.st_dev;
        }
        if (item.report) {
            if (kinds_[folder ? evMkDir : evCreate])
                emit(items, folder ? evMkDir : evCreate, path);
            scanned_[path] = now;
        }
        // Another filesystem mounted inside is a drive of its own.
        if (folder && device == item.device)
            below.push_back({path, device, item.report});
    }
    if (scanned_.size() > 65536)
        std::erase_if(scanned_, [&](const auto& entry) { return now - entry.second > std::chrono::seconds(5); });
}

// Later events below a renamed folder carry its new path, and so do the folders still to walk.
void TInotifyBackend::renameUnder(const std::string& from, const std::string& to)
{
    watches_.renameUnder(from, to);
    for (TWalkItem& item : toWalk_)
        if (isUnder(item.path, from, TPathStyle::Posix))
            item.path = to + item.path.substr(from.size());
}

bool TInotifyBackend::wasScanned(const std::string& path)
{
    auto it = scanned_.find(path);
    if (it == scanned_.end())
        return false;
    scanned_.erase(it);
    return true;
}

bool TInotifyBackend::isRootWatch(int wd) const
{
    return std::find(rootWatches_.begin(), rootWatches_.end(), wd) != rootWatches_.end();
}

void TInotifyBackend::emit(std::vector<TItemObj>& items, int eventNum, std::string item1, std::string item2)
{
    items.emplace_back(std::move(item1), std::move(item2), eventNum, TEventOrigin{batchTime_, 0, {}});
}

} // namespace inotifycapture
