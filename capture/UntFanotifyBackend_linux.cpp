#include "capture/UntFanotifyBackend_linux.h"

#include "capture/UntFanotifyRecords_linux.h"
#include "capture/UntInotifyBackend_linux.h"
#include "capture/UntInotifyWatches_linux.h"
#include "capture/UntMountWatcher_linux.h"

#include "events/UntEventSink.h"
#include "util/UntOsHandle.h"
#include "util/UntWakeEvent_linux.h"
#include "util/UntText.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace {

std::string errorText(int error) { return std::generic_category().message(error); }

std::string fsidBytes(const struct statfs& info)
{
    return std::string(reinterpret_cast<const char*>(&info.f_fsid), sizeof info.f_fsid);
}

struct TFileSystem {
    // A folder of the filesystem, opened only while needed: a descriptor kept open would make
    // its unmount fail.
    std::string path;
    // A root is the top of this filesystem, so every event of it belongs to the recording. With
    // only folders below the top watched, a folder that cannot be named any more is taken to lie
    // outside them: the folders inside are learnt as they are created or seen.
    bool wholeFileSystem = false;
};

bool isMountRoot(const char* path)
{
    struct stat self {};
    struct stat parent {};
    const std::string up = std::string(path) + "/..";
    if (::stat(path, &self) != 0 || ::stat(up.c_str(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

// The handle of a folder as fanotify reports it: the cache key of TFidRecord::key().
std::optional<std::string> handleKey(int folderFd, const std::string& fsid)
{
    std::vector<unsigned char> storage(sizeof(file_handle) + MAX_HANDLE_SZ);
    auto* handle = reinterpret_cast<file_handle*>(storage.data());
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(folderFd, "", handle, &mountId, AT_EMPTY_PATH) != 0)
        return std::nullopt;
    return fidKey(fsid, handle->handle_type,
                  std::string_view(reinterpret_cast<const char*>(handle->f_handle), handle->handle_bytes));
}

constexpr std::uint64_t markMask(const TEventKinds& kinds)
{
    std::uint64_t mask = 0;
    if (kinds[evCreate] || kinds[evMkDir])
        mask |= FAN_CREATE;
    if (kinds[evDelete] || kinds[evRmDir])
        mask |= FAN_DELETE;
    if (kinds[evRenameFile] || kinds[evRenameFolder])
        mask |= FAN_RENAME;
    if (kinds[evAttributes])
        mask |= FAN_ATTRIB;
    if (kinds[evUpdateFile])
        mask |= FAN_MODIFY;
    if (mask)
        mask |= FAN_ONDIR;
    return mask;
}

class TFanotifyBackend final : public TCaptureBackend {
public:
    TFanotifyBackend(TFdObj group, TWakeEvent stop, bool inotifyFallback)
        : group_(std::move(group)), stop_(std::move(stop)), inotifyFallback_(inotifyFallback)
    {
        kinds_.fill(false);
    }
    ~TFanotifyBackend() override
    {
        for (auto& [key, fs] : fileSystems_)
            ::fanotify_mark(group_.get(), FAN_MARK_REMOVE | FAN_MARK_FILESYSTEM, mask_, AT_FDCWD, fs.path.c_str());
    }

    std::string name() const override { return "fanotify"; }
    void open(TEventSink& queue) override
    {
        queue_ = &queue;
        std::string error;
        if (!(mounts_ = openMountWatcher(error))) {
            std::lock_guard lock(warningsMutex_);
            warnings_.push_back(error);
        }
    }
    bool addWatch(const std::string& root, const TEventKinds& kinds) override;
    void run() override;
    void stop() override { stop_.signal(); }
    TCaptureCounters counters() const override
    {
        TCaptureCounters result;
        result.overflows = overflows_.load();
        result.refusedWatches = refusedWatches_.load();
        result.unresolvedPaths = unresolvedPaths_.load();
        std::lock_guard lock(warningsMutex_); // guards fallback_, which a drive mounted later may bring
        if (fallback_) {
            const TCaptureCounters more = fallback_->counters();
            result.overflows += more.overflows;
            result.refusedWatches += more.refusedWatches;
            result.unresolvedPaths += more.unresolvedPaths;
        }
        return result;
    }
    std::vector<std::string> warnings() const override
    {
        std::lock_guard lock(warningsMutex_);
        std::vector<std::string> result = warnings_;
        if (fallback_)
            for (std::string& more : fallback_->warnings())
                result.push_back(std::move(more));
        return result;
    }

private:
    struct TBatch {
        std::chrono::system_clock::time_point time;
        std::unordered_map<int, std::string> processNames;
        std::vector<TItemObj> items;
    };

    void refuse(const std::string& text)
    {
        refusedWatches_.fetch_add(1);
        std::lock_guard lock(warningsMutex_);
        warnings_.push_back(text);
    }
    bool watchWithInotify(const std::string& root, const TEventKinds& kinds, const std::string& why);
    void drain();
    void serveMounts(bool changed);
    void releaseRoot(const std::string& root);
    void decode(const TParsedEvent& event, TBatch& batch);
    std::optional<std::string> folderPath(const TFidRecord& record);
    std::optional<std::string> entryPath(const std::optional<TFidRecord>& record);
    bool isWatched(const std::string& path) const;
    void countUnresolved(const std::optional<TFidRecord>& record);
    void emit(TBatch& batch, int pid, int eventNum, std::string item1, std::string item2 = {});

    TFdObj group_;
    TWakeEvent stop_;
    const bool inotifyFallback_;
    // Roots on filesystems that refuse a mark, watched folder by folder in the same loop.
    std::unique_ptr<TInotifySource> fallback_; // set on the monitor thread under warningsMutex_
    std::unique_ptr<TMountWatcher> mounts_;
    bool followDrives_ = false; // the roots are the drives: a drive mounted later is watched too
    TEventSink* queue_ = nullptr;
    const int selfPid_ = static_cast<int>(::getpid());

    TEventKinds kinds_{};
    std::uint64_t mask_ = 0;
    std::unordered_map<std::string, TFileSystem> fileSystems_; // by fsid
    std::vector<std::string> roots_;                            // canonical, in the order given
    TPathCache folders_;
    TModifyThrottle modify_;
    std::vector<std::uint64_t> buffer_ = std::vector<std::uint64_t>(32768); // 256 KiB, aligned

    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> refusedWatches_{0};
    std::atomic<std::uint64_t> unresolvedPaths_{0};
    mutable std::mutex warningsMutex_;
    std::vector<std::string> warnings_;
};

bool TFanotifyBackend::addWatch(const std::string& root, const TEventKinds& kinds)
{
    char resolved[PATH_MAX];
    if (!::realpath(root.c_str(), resolved)) {
        refuse("cannot watch " + root + ": " + errorText(errno));
        return false;
    }
    TFdObj folder(::open(resolved, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct statfs info {};
    if (!folder || ::fstatfs(folder.get(), &info) != 0) {
        refuse("cannot watch " + root + ": " + errorText(errno));
        return false;
    }
    for (int k = 0; k < kEventCount; ++k)
        kinds_[k] = kinds_[k] || kinds[k];
    const std::uint64_t mask = markMask(kinds_);
    const std::string key = fsidBytes(info);
    auto known = fileSystems_.find(key);
    if (mask != 0 && (known == fileSystems_.end() || mask != mask_)) {
        if (::fanotify_mark(group_.get(), FAN_MARK_ADD | FAN_MARK_FILESYSTEM, mask, folder.get(), nullptr) != 0) {
            const int error = errno;
            std::string why = errorText(error);
            if (error == EXDEV || error == ENODEV || error == EOPNOTSUPP)
                why += " (this filesystem cannot be marked as a whole)";
            if (inotifyFallback_)
                return watchWithInotify(root, kinds, "fanotify refused a mark on " + root + ": " + why);
            refuse("fanotify refused a mark on " + root + ": " + why);
            return false;
        }
        // More kinds than before: the filesystems marked earlier watch them too.
        for (auto& [otherKey, fs] : fileSystems_)
            if (otherKey != key)
                ::fanotify_mark(group_.get(), FAN_MARK_ADD | FAN_MARK_FILESYSTEM, mask, AT_FDCWD, fs.path.c_str());
    }
    mask_ = mask;
    // The root keeps its name even when it is deleted before its last events are read.
    if (auto rootKey = handleKey(folder.get(), key))
        folders_.pin(*rootKey, resolved);
    const bool whole = isMountRoot(resolved);
    if (known == fileSystems_.end())
        known = fileSystems_.emplace(key, TFileSystem{resolved, whole}).first;
    known->second.wholeFileSystem = known->second.wholeFileSystem || whole;
    roots_.emplace_back(resolved);
    return true;
}

bool TFanotifyBackend::watchWithInotify(const std::string& root, const TEventKinds& kinds, const std::string& why)
{
    if (!fallback_) {
        std::string whyNot;
        auto fallback = openInotifyBackend(whyNot, TInotifyOptions{0, false});
        if (!fallback) {
            refuse(why + "; " + whyNot);
            return false;
        }
        fallback->open(*queue_);
        std::lock_guard lock(warningsMutex_);
        fallback_ = std::move(fallback);
    }
    if (!fallback_->addWatch(root, kinds))
        return false; // counted and explained by the fallback
    std::lock_guard lock(warningsMutex_);
    warnings_.push_back(why + "; using recursive inotify for it");
    return true;
}

void TFanotifyBackend::run()
{
    if (!queue_)
        throw std::logic_error("fanotify backend run before open");
    pollfd fds[4] = {{group_.get(), POLLIN, 0},
                     {stop_.fd(), POLLIN, 0},
                     {mounts_ ? mounts_->pollFd() : -1, TMountWatcher::kPollEvents, 0},
                     {-1, POLLIN, 0}};
    followDrives_ = mounts_ && !roots_.empty() &&
                    std::all_of(roots_.begin(), roots_.end(), [&](const std::string& root) { return mounts_->isMountPoint(root); });
    // The stop handle is never read, so a stop before run() ends it at once as well.
    for (;;) {
        // A drive mounted meanwhile may have brought the inotify fallback.
        fds[3].fd = fallback_ ? fallback_->pollFd() : -1;
        int timeout = fallback_ ? fallback_->pollTimeout() : -1;
        if (mounts_ && mounts_->pollTimeout() >= 0)
            timeout = timeout < 0 ? mounts_->pollTimeout() : std::min(timeout, mounts_->pollTimeout());
        if (::poll(fds, 4, timeout) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll on the fanotify group");
        }
        if (fds[1].revents) {
            // What the kernel queued before the stop belongs to the recording.
            drain();
            if (fallback_)
                fallback_->finish();
            return;
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            throw std::runtime_error("the fanotify group failed");
        if (fds[0].revents & POLLIN)
            drain();
        if (fallback_) {
            if (fds[3].revents & (POLLERR | POLLHUP | POLLNVAL))
                throw std::runtime_error("the inotify instance failed");
            fallback_->serve(fds[3].revents & POLLIN);
        }
        serveMounts(fds[2].revents != 0);
    }
}

// Drives mounted and unmounted: reported, and when the roots are the drives, watched or let go.
void TFanotifyBackend::serveMounts(bool changed)
{
    if (!mounts_)
        return;
    const std::vector<TMountChange> changes = mounts_->serve(changed);
    if (changes.empty())
        return;
    TBatch batch;
    batch.time = std::chrono::system_clock::now();
    for (const TMountChange& change : changes) {
        if (kinds_[change.eventNum])
            emit(batch, 0, change.eventNum, change.root);
        if (!change.localDrive)
            continue;
        const std::string path = change.root.size() > 1 ? change.root.substr(0, change.root.size() - 1) : change.root;
        if (!change.added)
            releaseRoot(path);
        else if (followDrives_ && std::find(roots_.begin(), roots_.end(), path) == roots_.end())
            addWatch(path, TEventKinds(kinds_));
    }
    queue_->addItems(std::move(batch.items));
}

// The mark ends with the filesystem; a filesystem mounted there again is marked anew.
void TFanotifyBackend::releaseRoot(const std::string& root)
{
    if (std::erase(roots_, root) == 0)
        return;
    std::erase_if(fileSystems_, [&](const auto& entry) { return isUnder(entry.second.path, root, TPathStyle::Posix); });
}

// Reads everything available, then hands it to the queue in one append.
void TFanotifyBackend::drain()
{
    TBatch batch;
    batch.time = std::chrono::system_clock::now();
    constexpr int kMaxReads = 64; // a busy system still gets its events delivered in slices
    for (int reads = 0; reads < kMaxReads; ++reads) {
        ssize_t length = ::read(group_.get(), buffer_.data(), buffer_.size() * sizeof(std::uint64_t));
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            throw std::system_error(errno, std::generic_category(), "read from the fanotify group");
        }
        if (length == 0)
            break;
        const char* data = reinterpret_cast<const char*>(buffer_.data());
        std::size_t left = static_cast<std::size_t>(length);
        TParsedEvent event;
        while (const std::size_t used = parseFanotifyEvent(data, left, event)) {
            if (event.fd >= 0)
                ::close(event.fd);
            decode(event, batch);
            data += used;
            left -= used;
        }
    }
    queue_->addItems(std::move(batch.items));
}

void TFanotifyBackend::decode(const TParsedEvent& event, TBatch& batch)
{
    const std::uint64_t mask = event.mask;
    if (mask & FAN_Q_OVERFLOW) {
        overflows_.fetch_add(1);
        if (kinds_[evUpdateDir])
            for (const std::string& root : roots_)
                emit(batch, 0, evUpdateDir, root);
        return;
    }
    if (event.pid == selfPid_)
        return;
    const bool folder = mask & FAN_ONDIR;
    const int pid = event.pid;

    if (mask & FAN_RENAME) {
        auto from = entryPath(event.oldDirName);
        auto to = entryPath(event.newDirName);
        if (!from || !to) {
            countUnresolved(from ? event.newDirName : event.oldDirName);
            return;
        }
        if (folder) {
            folders_.forgetUnder(*from);
            if (event.object)
                folders_.learn(event.object->key(), *to);
        }
        if ((isWatched(*from) || isWatched(*to)) && kinds_[folder ? evRenameFolder : evRenameFile])
            emit(batch, pid, folder ? evRenameFolder : evRenameFile, std::move(*from), std::move(*to));
        return;
    }

    const auto path = entryPath(event.dirName);
    if (!path) {
        // A link count change of a file replaced by a rename names no folder: the rename says it all.
        if (event.dirName)
            countUnresolved(event.dirName);
        else if (mask != (FAN_ATTRIB | (mask & FAN_ONDIR)))
            unresolvedPaths_.fetch_add(1);
        return;
    }
    if (folder && (mask & FAN_CREATE) && event.object)
        folders_.learn(event.object->key(), *path);
    if (folder && (mask & FAN_DELETE) && event.object)
        folders_.forget(event.object->key());
    if (!isWatched(*path))
        return;

    // A merged mask gives one event per bit, in the order of the calls that caused them.
    if ((mask & FAN_CREATE) && kinds_[folder ? evMkDir : evCreate])
        emit(batch, pid, folder ? evMkDir : evCreate, *path);
    if ((mask & FAN_MODIFY) && !folder && kinds_[evUpdateFile] && modify_.due(*path))
        emit(batch, pid, evUpdateFile, *path);
    if ((mask & FAN_ATTRIB) && kinds_[evAttributes])
        emit(batch, pid, evAttributes, *path);
    if ((mask & FAN_DELETE) && kinds_[folder ? evRmDir : evDelete])
        emit(batch, pid, folder ? evRmDir : evDelete, *path);
}

std::optional<std::string> TFanotifyBackend::entryPath(const std::optional<TFidRecord>& record)
{
    if (!record)
        return std::nullopt;
    auto folder = folderPath(*record);
    if (!folder)
        return std::nullopt;
    return joinPath(*folder, record->name.value_or(std::string()));
}

std::optional<std::string> TFanotifyBackend::folderPath(const TFidRecord& record)
{
    const std::string key = record.key();
    if (const std::string* known = folders_.find(key))
        return *known;
    auto fs = fileSystems_.find(record.fsid);
    if (fs == fileSystems_.end())
        return std::nullopt;
    std::vector<std::uint64_t> storage(1 + (sizeof(file_handle) + record.handleBytes.size()) / sizeof(std::uint64_t));
    auto* handle = reinterpret_cast<file_handle*>(storage.data());
    handle->handle_bytes = static_cast<unsigned>(record.handleBytes.size());
    handle->handle_type = record.handleType;
    std::memcpy(handle->f_handle, record.handleBytes.data(), record.handleBytes.size());
    TFdObj mountFd(::open(fs->second.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    TFdObj opened(mountFd ? ::open_by_handle_at(mountFd.get(), handle, O_PATH | O_CLOEXEC) : -1);
    if (!opened)
        return std::nullopt;
    struct stat status {};
    if (::fstat(opened.get(), &status) != 0 || status.st_nlink == 0)
        return std::nullopt; // gone meanwhile: its name is no longer known
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(opened.get());
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target || target[0] != '/')
        return std::nullopt;
    std::string path(target, static_cast<std::size_t>(length));
    folders_.learn(key, path);
    return path;
}

void TFanotifyBackend::countUnresolved(const std::optional<TFidRecord>& record)
{
    auto fs = record ? fileSystems_.find(record->fsid) : fileSystems_.end();
    if (fs == fileSystems_.end() || fs->second.wholeFileSystem)
        unresolvedPaths_.fetch_add(1);
}

bool TFanotifyBackend::isWatched(const std::string& path) const
{
    for (const std::string& root : roots_)
        if (isUnder(path, root, TPathStyle::Posix))
            return true;
    return false;
}

void TFanotifyBackend::emit(TBatch& batch, int pid, int eventNum, std::string item1, std::string item2)
{
    TEventOrigin origin{batch.time, pid, {}};
    if (pid > 0) {
        auto [it, added] = batch.processNames.try_emplace(pid);
        if (added) {
            TFdObj comm(::open(("/proc/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC));
            char name[64];
            const ssize_t length = comm ? ::read(comm.get(), name, sizeof name) : -1;
            if (length > 0)
                it->second.assign(name, static_cast<std::size_t>(length));
            while (!it->second.empty() && it->second.back() == '\n')
                it->second.pop_back();
        }
        origin.process = it->second;
    }
    batch.items.emplace_back(std::move(item1), std::move(item2), eventNum, std::move(origin));
}

} // namespace

std::unique_ptr<TCaptureBackend> openFanotifyBackend(std::string& whyNot, bool inotifyFallback)
{
    const unsigned flags = FAN_CLASS_NOTIF | FAN_REPORT_DFID_NAME_TARGET | FAN_UNLIMITED_QUEUE | FAN_CLOEXEC |
                           FAN_NONBLOCK;
    TFdObj group(::fanotify_init(flags, O_RDONLY | O_LARGEFILE));
    if (!group) {
        const int error = errno;
        whyNot = "fanotify refused: " + errorText(error);
        if (error == EPERM)
            whyNot += " (needs CAP_SYS_ADMIN)";
        else if (error == EINVAL)
            whyNot += " (needs Linux 5.17 or later for rename reporting)";
        else if (error == ENOSYS)
            whyNot += " (the kernel has no fanotify)";
        return nullptr;
    }
    TWakeEvent stop;
    if (!stop) {
        whyNot = "fanotify: no stop handle: " + errorText(errno);
        return nullptr;
    }
    return std::make_unique<TFanotifyBackend>(std::move(group), std::move(stop), inotifyFallback);
}
