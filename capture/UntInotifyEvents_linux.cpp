#include "capture/UntInotifyCapture_linux.h"

#include "capture/UntFanotifyRecords_linux.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace inotifycapture {

void TInotifyBackend::decode(const inotify_event& event, TDrain& drain)
{
    const std::uint32_t mask = event.mask;
    if (mask & IN_Q_OVERFLOW) {
        overflowed(drain);
        return;
    }
    if (mask & IN_IGNORED) {
        // The folder was deleted, moved out or unmounted: its watch is gone, which is no error.
        watches_.remove(event.wd, [this, ended = event.wd](int wd) {
            scanOrder_.forgetFolder(wd);
            if (wd != ended)
                ::inotify_rm_watch(inotify_.get(), wd);
        });
        return;
    }
    // Any other event settles the rename halves before it, so the order stays as it happened and
    // a folder moved out has lost its watches before its later events are looked at.
    if (!(mask & (IN_MOVED_FROM | IN_MOVED_TO)))
        settleMoves(drain, true);
    const std::string* folderPath = watches_.path(event.wd);
    if (!folderPath)
        return;
    const std::string_view name(event.name, event.len ? ::strnlen(event.name, event.len) : 0);
    const bool folder = mask & IN_ISDIR;
    if (name.empty()) {
        // A watched folder's own change: its parent's watch reports it too, except for a root.
        if ((mask & IN_ATTRIB) && kinds_[evAttributes] && isRootWatch(event.wd))
            emit(drain, evAttributes, *folderPath);
        return;
    }
    std::string path = joinPath(*folderPath, name);
    const int createKind = folder ? evMkDir : evCreate;

    const bool created = mask & (IN_CREATE | IN_MOVED_TO);
    const TScanOrder::TVerdict verdict = scanOrder_.kernelEvent(event.wd, name, created, drain.now);
    if (verdict == TScanOrder::TVerdict::Drop)
        return;
    if (verdict == TScanOrder::TVerdict::ReportAfterCreate && kinds_[createKind])
        emit(drain, createKind, path);

    if (mask & IN_MOVED_FROM) {
        moves_.push_back({event.cookie, event.wd, std::string(name), std::move(path), folder, false, drain.now});
        pairs_[event.cookie] = &moves_.back();
        return;
    }
    if (mask & IN_MOVED_TO) {
        auto pair = pairs_.find(event.cookie);
        if (pair == pairs_.end()) {
            arrived(event.wd, name, std::move(path), folder, drain);
            return;
        }
        TMoveHalf& from = *pair->second;
        pairs_.erase(pair);
        from.paired = true;
        // A rename's halves are queued together: a half still waiting from before this one went
        // out of the tree, and its delete goes first, with the path it had then.
        settleBefore(from, drain);
        if (!folder) {
            modify_.forget(from.path);
            modify_.forget(path); // the file there before was replaced
        } else if (const int* moved = watches_.child(from.wd, from.name)) {
            const int wd = *moved;
            watches_.learn(wd, event.wd, std::string(name)); // the folders below follow
        } else {
            watchNew(event.wd, name, path, true); // renamed before its watch came: watched now
        }
        const int kind = folder ? evRenameFolder : evRenameFile;
        if (kinds_[kind])
            emit(drain, kind, std::move(from.path), std::move(path));
        while (!moves_.empty() && moves_.front().paired)
            moves_.pop_front();
        return;
    }
    if (mask & IN_CREATE) {
        if (kinds_[createKind])
            emit(drain, createKind, path);
        if (folder)
            watchNew(event.wd, name, path, true);
    }
    if ((mask & IN_MODIFY) && !folder && kinds_[evUpdateFile] && modify_.due(path, drain.now))
        emit(drain, evUpdateFile, path);
    if ((mask & IN_ATTRIB) && kinds_[evAttributes])
        emit(drain, evAttributes, path);
    if (mask & IN_DELETE) {
        // A folder's watch ends by itself (IN_IGNORED); a new folder of that name gets a new one.
        modify_.forget(path);
        if (kinds_[folder ? evRmDir : evDelete])
            emit(drain, folder ? evRmDir : evDelete, std::move(path));
    }
}

// The kernel dropped events: counted, said once with the setting that would help, the roots
// reported as changed, and the tree walked again for folders made meanwhile.
void TInotifyBackend::overflowed(TDrain& drain)
{
    settleMoves(drain, true);
    if (overflows_.fetch_add(1) == 0) {
        std::string limit;
        std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
        warn("the inotify queue overflowed and events were lost: raising fs.inotify.max_queued_events" +
             (limit.empty() ? std::string() : " (now " + limit + ")") + " lets the kernel hold more");
    }
    for (std::size_t i = 0; i < roots_.size(); ++i) {
        if (kinds_[evUpdateDir])
            emit(drain, evUpdateDir, roots_[i]);
        struct stat status {};
        if (::stat(roots_[i].c_str(), &status) == 0)
            toWalk_.push_back({rootWatches_[i], {}, status.st_dev, false});
    }
}

// A rename half whose pair did not come: moved out of the watched tree, so gone from it.
void TInotifyBackend::settleMoves(TDrain& drain, bool all)
{
    while (!moves_.empty()) {
        TMoveHalf& half = moves_.front();
        if (!half.paired) {
            if (!all && drain.now - half.seen < kPairGrace)
                return;
            pairs_.erase(half.cookie);
            movedOut(half, drain);
        }
        moves_.pop_front();
    }
}

void TInotifyBackend::settleBefore(const TMoveHalf& paired, TDrain& drain)
{
    for (TMoveHalf& half : moves_) {
        if (&half == &paired)
            return;
        if (!half.paired) {
            half.paired = true; // settled: popped with the pairs before it
            pairs_.erase(half.cookie);
            movedOut(half, drain);
        }
    }
}

void TInotifyBackend::movedOut(const TMoveHalf& half, TDrain& drain)
{
    modify_.forget(half.path);
    if (half.folder)
        if (const int* moved = watches_.child(half.wd, half.name)) {
            const int wd = *moved;
            watches_.remove(wd, [this](int gone) {
                scanOrder_.forgetFolder(gone);
                ::inotify_rm_watch(inotify_.get(), gone);
            });
        }
    if (kinds_[half.folder ? evRmDir : evDelete])
        emit(drain, half.folder ? evRmDir : evDelete, half.path);
}

// Created, or moved in from outside: a create, and for a folder everything inside it.
void TInotifyBackend::arrived(int parent, std::string_view name, std::string path, bool folder, TDrain& drain)
{
    const int kind = folder ? evMkDir : evCreate;
    if (kinds_[kind])
        emit(drain, kind, path);
    if (folder)
        watchNew(parent, name, path, true);
}

bool TInotifyBackend::isRootWatch(int wd) const
{
    return std::find(rootWatches_.begin(), rootWatches_.end(), wd) != rootWatches_.end();
}

void TInotifyBackend::emit(TDrain& drain, int eventNum, std::string item1, std::string item2)
{
    drain.items.emplace_back(std::move(item1), std::move(item2), eventNum, TEventOrigin{drain.time, 0, {}});
}

} // namespace inotifycapture
