#include "capture/UntFanotifyCapture_linux.h"

#include "util/UntText.h"

#include <fcntl.h>
#include <sys/fanotify.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

namespace fanotifycapture {
namespace {

// A read that leaves at least this much of the buffer unused took everything queued.
constexpr std::size_t kRoomForOneEvent = 4096;
// Folders named from their handles are linked to their parents this far up at most.
constexpr int kMaxResolveDepth = 1024;

// The path the kernel gives for an open descriptor; empty when it has none.
std::string descriptorPath(int fd)
{
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link, target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target || target[0] != '/')
        return {};
    return std::string(target, static_cast<std::size_t>(length));
}

} // namespace

// Reads what is queued, decoding each read as it comes, then hands it to the queue in one append.
// Nothing slow happens here: folder paths come from the tree, and a read that did not fill the
// buffer emptied the queue, so no read is spent on learning that. True when it did empty it.
bool TFanotifyBackend::drain()
{
    bool emptied = false;
    lastRecords_ = 0;
    TDrain drain;
    drain.time = std::chrono::system_clock::now();
    drain.now = TClock::now();
    const std::size_t capacity = buffer_.size() * sizeof(std::uint64_t);
    constexpr int kMaxReads = 64; // a busy system still gets its events delivered in slices
    for (int reads = 0; reads < kMaxReads; ++reads) {
        const ssize_t length = ::read(group_.get(), buffer_.data(), capacity);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                emptied = true;
                break;
            }
            throw std::system_error(errno, std::generic_category(), "read from the fanotify group");
        }
        if (length == 0) {
            emptied = true;
            break;
        }
        const char* data = reinterpret_cast<const char*>(buffer_.data());
        std::size_t left = static_cast<std::size_t>(length);
        TParsedEvent event;
        while (const std::size_t used = parseFanotifyEvent(data, left, event)) {
            if (event.fd >= 0)
                ::close(event.fd);
            decode(event, drain);
            ++lastRecords_;
            data += used;
            left -= used;
        }
        if (static_cast<std::size_t>(length) + kRoomForOneEvent <= capacity) {
            emptied = true;
            break;
        }
    }
    settleMerged(drain);
    if (!drain.items.empty())
        sink().addItems(std::move(drain.items));
    return emptied;
}

void TFanotifyBackend::decode(const TParsedEvent& event, TDrain& drain)
{
    const std::uint64_t mask = event.mask;
    if (mask & FAN_Q_OVERFLOW) {
        overflows_.fetch_add(1);
        if (kinds_[evUpdateDir])
            for (const std::string& root : roots_)
                emit(drain, 0, evUpdateDir, root);
        return;
    }
    if (folders_.size() >= kFolderLimit)
        folders_.keepTopsOnly(); // once per kFolderLimit folders learnt: O(1) amortised
    const bool folder = mask & FAN_ONDIR;
    // The monitor's own writes are not reported, but its folders still change the tree.
    const bool own = event.pid == selfPid_;
    if (own && !(folder && (mask & (FAN_CREATE | FAN_DELETE | FAN_RENAME))))
        return;
    if (mask & FAN_RENAME) {
        renamed(event, folder, own, drain);
        return;
    }

    const std::string* dir = folderPath(event.dirName);
    if (!dir) {
        // A link count change of a file replaced by a rename names no folder: the rename says it all.
        if (event.dirName.valid())
            countUnresolved(event.dirName);
        else if (!own && mask != (FAN_ATTRIB | (mask & FAN_ONDIR)))
            unresolvedPaths_.fetch_add(1);
        return;
    }
    // A filesystem mark sees the whole filesystem: most of it is no business of the recording.
    const bool watched = !own && isWatchedEntry(*dir, event.dirName.name);
    std::string path = watched ? joinPath(*dir, event.dirName.name) : std::string();

    const bool created = mask & FAN_CREATE;
    const bool deleted = mask & FAN_DELETE;
    if (!merged_.empty()) {
        merged_.seen(event.dirName.key, event.object.key);
        if (created)
            merged_.beforeCreate(event.dirName.key, event.dirName.name, [&](auto& entry) { emitMerged(entry, drain); });
        if (deleted && folder)
            merged_.beforeRemoval(event.object.key, [&](auto& entry) { emitMerged(entry, drain); });
    }
    // The kernel merges a later event into a queued one of the same file, name and process: a
    // create and a delete in one record came in that order unless the same file is there again.
    // A folder cannot be linked anew, so its pair was always made, then removed.
    const bool merged = created && deleted;
    const bool deleteFirst = merged && !folder && stillThere(event);
    if (merged && !own)
        mergedPairs_.fetch_add(1);
    if (folder && event.object.valid()) {
        // Learnt in the order of the events; a merged delete forgets the folder when it is placed.
        // The monitor's own folder made and gone is simply gone.
        if (created && (!own || !deleted || deleteFirst))
            learnFolder(event.object.key, event.dirName.key, event.dirName.name);
        else if (deleted)
            folders_.remove(event.object.key);
    }
    if (own)
        return;

    const int pid = event.pid;
    const int deleteKind = folder ? evRmDir : evDelete;
    if (deleted && deleteFirst) {
        if (watched && kinds_[deleteKind])
            emit(drain, pid, deleteKind, path);
    }
    if (watched && created && kinds_[folder ? evMkDir : evCreate])
        emit(drain, pid, folder ? evMkDir : evCreate, path);
    if (watched && (mask & FAN_MODIFY) && !folder && kinds_[evUpdateFile] &&
        modify_.due(event.object.valid() ? event.object.key : std::string_view(path), drain.now))
        emit(drain, pid, evUpdateFile, path);
    if (watched && (mask & FAN_ATTRIB) && kinds_[evAttributes])
        emit(drain, pid, evAttributes, path);
    if (merged && !deleteFirst) {
        merged_.add({std::string(event.dirName.key), std::string(event.object.key), std::string(event.dirName.name),
                     std::move(path), folder, pid, drain.items.size()});
    } else if (deleted && !deleteFirst) {
        if (watched && kinds_[deleteKind])
            emit(drain, pid, deleteKind, std::move(path));
    }
}

void TFanotifyBackend::renamed(const TParsedEvent& event, bool folder, bool own, TDrain& drain)
{
    // Each path is taken before the next lookup, which may learn folders and move the tree.
    const std::string* fromDir = folderPath(event.oldDirName);
    std::string from = fromDir ? joinPath(*fromDir, event.oldDirName.name) : std::string();
    const std::string* toDir = fromDir ? folderPath(event.newDirName) : nullptr;
    if (!toDir) {
        countUnresolved(fromDir ? event.newDirName : event.oldDirName);
        if (folder && event.object.valid())
            folders_.remove(event.object.key); // its place is unknown: learnt again when named
        return;
    }
    std::string to = joinPath(*toDir, event.newDirName.name);
    if (!merged_.empty()) {
        merged_.seen(event.oldDirName.key, event.object.key);
        merged_.seen(event.newDirName.key, {});
        merged_.beforeCreate(event.newDirName.key, event.newDirName.name,
                             [&](auto& entry) { emitMerged(entry, drain); });
        merged_.renamed(event.object.key, event.newDirName.key, event.newDirName.name);
    }
    if (folder && event.object.valid() && !folders_.isTop(event.object.key) &&
        !folders_.learn(event.object.key, event.newDirName.key, std::string(event.newDirName.name)))
        folders_.remove(event.object.key);
    const int kind = folder ? evRenameFolder : evRenameFile;
    if (!own && (isWatched(from) || isWatched(to)) && kinds_[kind])
        emit(drain, event.pid, kind, std::move(from), std::move(to));
}

// A merged delete that lasted, emitted now with the path its entry has now.
void TFanotifyBackend::emitMerged(const TMergedDeletes::TDelete& entry, TDrain& drain)
{
    const std::string* dir = folders_.path(entry.folderKey);
    std::string path = dir ? joinPath(*dir, entry.name) : entry.path;
    if (entry.folder)
        folders_.remove(entry.objectKey);
    const int kind = entry.folder ? evRmDir : evDelete;
    if (isWatched(path) && kinds_[kind])
        emit(drain, entry.pid, kind, std::move(path));
}

// The merged deletes still waiting go where they belong, before the read is handed over.
void TFanotifyBackend::settleMerged(TDrain& drain)
{
    if (merged_.empty())
        return;
    merged_.settle(
        drain.items, [&](auto& entry) { emitMerged(entry, drain); },
        [&](const TMergedDeletes::TDelete& entry) -> std::optional<TItemObj> {
            if (entry.folder)
                folders_.remove(entry.objectKey);
            const int kind = entry.folder ? evRmDir : evDelete;
            if (!isWatched(entry.path) || !kinds_[kind])
                return std::nullopt;
            return TItemObj(entry.path, {}, kind, origin(drain, entry.pid));
        });
}

const std::string* TFanotifyBackend::folderPath(const TFidRecord& record)
{
    if (!record.valid())
        return nullptr;
    if (const std::string* known = folders_.path(record.key))
        return known;
    return resolveFolder(record.key);
}

void TFanotifyBackend::learnFolder(std::string_view key, std::string_view parent, std::string_view name)
{
    folders_.learn(key, parent, std::string(name));
}

TFdObj TFanotifyBackend::openFolder(std::string_view key, int flags)
{
    auto fs = fileSystems_.find(key.substr(0, TFidRecord::kFsidSize));
    std::uint64_t storage[kHandleStorageWords];
    auto* handle = handleFromKey(key, storage);
    if (fs == fileSystems_.end() || !handle)
        return TFdObj();
    // Merged pairs can ask this for every third record: the path is walked once per burst.
    TFdObj& mount = fs->second.open;
    if (!mount)
        mount = TFdObj(::open(fs->second.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return TFdObj(mount ? ::open_by_handle_at(mount.get(), static_cast<file_handle*>(handle), flags) : -1);
}

// A folder no event has named yet: its path from the kernel, and its parents up to one already
// known (or the top of its filesystem), each learnt with its name, so that a later rename of any
// of them moves it too. Once per folder.
const std::string* TFanotifyBackend::resolveFolder(std::string_view key)
{
    TFdObj current = openFolder(key, O_PATH | O_CLOEXEC);
    struct stat status {};
    if (!current || ::fstat(current.get(), &status) != 0 || status.st_nlink == 0)
        return nullptr; // gone meanwhile: its name is no longer known
    const std::string path = descriptorPath(current.get());
    if (path.empty())
        return nullptr;
    const std::string_view fsid = key.substr(0, TFidRecord::kFsidSize);
    std::vector<std::pair<std::string, std::string>> chain; // (key, name), from the folder up
    std::string currentKey(key);
    std::string_view currentPath = path;
    std::string anchor; // the known folder, or the top, the chain hangs from
    for (int depth = 0; anchor.empty(); ++depth) {
        TFdObj parent(::openat(current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat up {};
        if (!parent || ::fstat(parent.get(), &up) != 0)
            return nullptr;
        const std::size_t cut = currentPath.rfind('/');
        if (up.st_dev != status.st_dev || up.st_ino == status.st_ino || cut == std::string_view::npos ||
            depth == kMaxResolveDepth) {
            // The top of this filesystem where it is mounted.
            folders_.learnTop(currentKey, std::string(currentPath));
            anchor = std::move(currentKey);
            break;
        }
        std::string parentKey = fidKeyAt(parent.get(), "", AT_EMPTY_PATH, fsid);
        if (parentKey.empty())
            return nullptr;
        chain.emplace_back(std::move(currentKey), std::string(currentPath.substr(cut + 1)));
        currentPath = currentPath.substr(0, cut == 0 ? 1 : cut);
        if (folders_.contains(parentKey))
            anchor = std::move(parentKey);
        else
            currentKey = std::move(parentKey);
        current = std::move(parent);
        status = up;
    }
    for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
        learnFolder(link->first, anchor, link->second);
        anchor = link->first;
    }
    return folders_.path(key);
}

// Whether the entry of a merged create and delete is there again as the same file.
bool TFanotifyBackend::stillThere(const TParsedEvent& event)
{
    TFdObj folder = openFolder(event.dirName.key, O_PATH | O_DIRECTORY | O_CLOEXEC);
    const std::string name(event.dirName.name);
    struct stat status {};
    if (!folder || name.empty() || ::fstatat(folder.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return !event.object.valid() || fidKeyAt(folder.get(), name.c_str(), 0, event.dirName.fsid()) == event.object.key;
}

void TFanotifyBackend::countUnresolved(const TFidRecord& record)
{
    auto fs = record.valid() ? fileSystems_.find(record.fsid()) : fileSystems_.end();
    if (fs == fileSystems_.end() || fs->second.wholeFileSystem)
        unresolvedPaths_.fetch_add(1);
}

bool TFanotifyBackend::isWatchedEntry(std::string_view folder, std::string_view name) const
{
    for (const std::string& root : roots_) {
        if (isUnder(folder, root, TPathStyle::Posix))
            return true;
        // The root itself, named in its parent.
        const std::string_view top = root;
        const std::size_t cut = top.rfind('/');
        if (cut != std::string_view::npos && top.substr(cut + 1) == name && top.substr(0, cut == 0 ? 1 : cut) == folder)
            return true;
    }
    return false;
}

bool TFanotifyBackend::isWatched(std::string_view path) const
{
    for (const std::string& root : roots_)
        if (isUnder(path, root, TPathStyle::Posix))
            return true;
    return false;
}

const std::string& TFanotifyBackend::processName(int pid, TClock::time_point now)
{
    if (std::string* known = processNames_.find(pid, now))
        return *known;
    std::string name;
    char comm[32];
    std::snprintf(comm, sizeof comm, "/proc/%d/comm", pid);
    TFdObj file(::open(comm, O_RDONLY | O_CLOEXEC));
    char text[64];
    const ssize_t length = file ? ::read(file.get(), text, sizeof text) : -1;
    if (length > 0)
        name.assign(text, static_cast<std::size_t>(length));
    while (!name.empty() && name.back() == '\n')
        name.pop_back();
    return processNames_.remember(pid, now, std::move(name));
}

TEventOrigin TFanotifyBackend::origin(TDrain& drain, int pid)
{
    return TEventOrigin{drain.time, pid, pid > 0 ? processName(pid, drain.now) : std::string()};
}

void TFanotifyBackend::emit(TDrain& drain, int pid, int eventNum, std::string item1, std::string item2)
{
    drain.items.emplace_back(std::move(item1), std::move(item2), eventNum, origin(drain, pid));
}

} // namespace fanotifycapture
