#include "capture/UntInotifyBackend_linux.h"

#include "capture/UntFanotifyRecords_linux.h"
#include "capture/UntMountWatcher_linux.h"
#include "pipeline/UntItemsStackThread.h"
#include "util/UntOsHandle.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

std::string errorText(int error) { return std::generic_category().message(error); }

constexpr auto kPairGrace = std::chrono::milliseconds(20); // a rename's halves arrive together
constexpr int kWalkSlice = 64;                               // folders watched per loop turn

struct TWalkItem {
    std::string path;
    dev_t device = 0;
    bool report = false; // new in the tree: what it holds is reported as created
};

struct TMoveHalf {
    std::uint32_t cookie = 0;
    std::string path;
    bool folder = false;
    TClock::time_point seen;
};

class TInotifyBackend final : public TInotifySource {
public:
    TInotifyBackend(TFdObj inotify, TFdObj stopFd, const TInotifyOptions& options)
        : inotify_(std::move(inotify)), stopFd_(std::move(stopFd)), options_(options)
    {
        kinds_.fill(false);
    }
    ~TInotifyBackend() override
    {
        for (const auto& [wd, path] : paths_)
            ::inotify_rm_watch(inotify_.get(), wd);
    }

    std::string name() const override { return "inotify"; }
    void open(TItemsStack& queue) override
    {
        queue_ = &queue;
        if (options_.watchMounts) {
            mounts_ = std::make_unique<TMountWatcher>();
            if (!mounts_->valid()) {
                std::lock_guard lock(warningsMutex_);
                warnings_.push_back(mounts_->error());
                mounts_.reset();
            }
        }
    }
    bool addWatch(const std::string& root, const TEventKinds& kinds) override;
    void run() override;
    void stop() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(stopFd_.get(), &one, sizeof one);
    }
    TCaptureCounters counters() const override
    {
        TCaptureCounters result;
        result.overflows = overflows_.load();
        result.refusedWatches = refusedRoots_.load() + unwatched_.load();
        return result;
    }
    std::vector<std::string> warnings() const override;

    int pollFd() const override { return inotify_.get(); }
    int pollTimeout() const override;
    void serve(bool readable) override;
    void finish() override;

private:
    void refuse(const std::string& text)
    {
        refusedRoots_.fetch_add(1);
        std::lock_guard lock(warningsMutex_);
        warnings_.push_back(text);
    }
    void serveMounts(bool changed);
    void releaseRoot(const std::string& root);
    void drain(std::vector<TItemObj>& items);
    void decode(const inotify_event& event, std::vector<TItemObj>& items);
    void settleMoves(std::vector<TItemObj>& items, bool all);
    void movedOut(const TMoveHalf& half, std::vector<TItemObj>& items);
    void movedIn(const std::string& path, bool folder, std::vector<TItemObj>& items);
    void walk(std::vector<TItemObj>& items, std::size_t budget, bool reportedOnly);
    void watchFolder(const TWalkItem& item, std::vector<TItemObj>& items, std::deque<TWalkItem>& below);
    void forgetUnder(const std::string& folder, bool removeWatches);
    void renameUnder(const std::string& from, const std::string& to);
    bool modifyDue(const std::string& path);
    bool wasScanned(const std::string& path);
    bool isRootWatch(int wd) const;
    void emit(std::vector<TItemObj>& items, int eventNum, std::string item1, std::string item2 = {});
    std::uint32_t watchMask() const;

    TFdObj inotify_;
    TFdObj stopFd_;
    TInotifyOptions options_;
    TItemsStack* queue_ = nullptr;
    std::unique_ptr<TMountWatcher> mounts_;
    bool followDrives_ = false; // the roots are the drives: a drive mounted later is watched too
    TEventKinds kinds_{};
    std::vector<std::string> roots_;
    std::vector<int> rootWatches_;
    std::unordered_map<int, std::string> paths_;  // watch -> folder
    std::unordered_map<std::string, int> watches_; // folder -> watch
    std::deque<TWalkItem> toWalk_;                 // reported folders first, the initial walk behind
    std::deque<TMoveHalf> moves_;                  // rename halves waiting for their pair
    // Entries a folder scan reported, so the kernel's own create event for them is not doubled.
    std::unordered_map<std::string, TClock::time_point> scanned_;
    std::unordered_map<std::string, TClock::time_point> lastModify_;
    std::vector<std::uint64_t> buffer_ = std::vector<std::uint64_t>(32768);
    TClock::time_point batchStart_;
    std::chrono::system_clock::time_point batchTime_;

    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> refusedRoots_{0};
    std::atomic<std::uint64_t> unwatched_{0};
    std::atomic<bool> limitReached_{false};
    mutable std::mutex warningsMutex_;
    std::vector<std::string> warnings_;
};

std::uint32_t TInotifyBackend::watchMask() const
{
    // Creates, deletes and moves always: they keep the watch map right.
    std::uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR | IN_DONT_FOLLOW;
    if (kinds_[evAttributes])
        mask |= IN_ATTRIB;
    if (kinds_[evUpdateFile])
        mask |= IN_MODIFY;
    return mask;
}

bool TInotifyBackend::addWatch(const std::string& root, const TEventKinds& kinds)
{
    char resolved[PATH_MAX];
    struct stat status {};
    if (!::realpath(root.c_str(), resolved) || ::stat(resolved, &status) != 0) {
        refuse("cannot watch " + root + ": " + errorText(errno));
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        refuse("cannot watch " + root + ": not a folder");
        return false;
    }
    const std::uint32_t before = watchMask();
    for (int k = 0; k < kEventCount; ++k)
        kinds_[k] = kinds_[k] || kinds[k];
    // More kinds than before: the folders watched so far watch them too (same watch, new mask).
    if (watchMask() != before)
        for (const auto& [wd, path] : paths_)
            ::inotify_add_watch(inotify_.get(), path.c_str(), watchMask());
    const int wd = ::inotify_add_watch(inotify_.get(), resolved, watchMask());
    if (wd < 0) {
        const int error = errno;
        refuse("inotify refused a watch on " + root + ": " + errorText(error) +
               (error == ENOSPC ? " (the watch limit is reached)" : ""));
        return false;
    }
    paths_[wd] = resolved;
    watches_[resolved] = wd;
    roots_.emplace_back(resolved);
    rootWatches_.push_back(wd);
    // The folders below are watched by the loop, a slice at a time, so events and stop are
    // served while a large tree is walked.
    TWalkItem item{resolved, status.st_dev, false};
    std::vector<TItemObj> none;
    std::deque<TWalkItem> below;
    watchFolder(item, none, below);
    toWalk_.insert(toWalk_.end(), below.begin(), below.end());
    return true;
}

void TInotifyBackend::run()
{
    if (!queue_)
        throw std::logic_error("inotify backend run before open");
    pollfd fds[3] = {{inotify_.get(), POLLIN, 0},
                     {stopFd_.get(), POLLIN, 0},
                     {mounts_ ? mounts_->pollFd() : -1, TMountWatcher::kPollEvents, 0}};
    followDrives_ = mounts_ && !roots_.empty() &&
                    std::all_of(roots_.begin(), roots_.end(), [&](const std::string& root) { return mounts_->isMountPoint(root); });
    for (;;) {
        int timeout = pollTimeout();
        if (mounts_ && mounts_->pollTimeout() >= 0)
            timeout = timeout < 0 ? mounts_->pollTimeout() : std::min(timeout, mounts_->pollTimeout());
        if (::poll(fds, 3, timeout) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll on the inotify instance");
        }
        if (fds[1].revents) {
            finish();
            return;
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            throw std::runtime_error("the inotify instance failed");
        serve(fds[0].revents & POLLIN);
        serveMounts(fds[2].revents != 0);
    }
}

// Drives mounted and unmounted: reported, and when the roots are the drives, watched or let go.
void TInotifyBackend::serveMounts(bool changed)
{
    if (!mounts_)
        return;
    const std::vector<TMountChange> changes = mounts_->serve(changed);
    if (changes.empty())
        return;
    std::vector<TItemObj> items;
    batchTime_ = std::chrono::system_clock::now();
    for (const TMountChange& change : changes) {
        if (kinds_[change.eventNum])
            emit(items, change.eventNum, change.root);
        if (!change.localDrive)
            continue;
        const std::string path = change.root.size() > 1 ? change.root.substr(0, change.root.size() - 1) : change.root;
        if (!change.added)
            releaseRoot(path);
        else if (followDrives_ && !watches_.count(path))
            addWatch(path, TEventKinds(kinds_));
    }
    if (!items.empty())
        queue_->addItems(std::move(items));
}

// Its watches end by themselves with the unmount; nothing of it is walked or reported any more.
void TInotifyBackend::releaseRoot(const std::string& root)
{
    // A filesystem mounted inside a watched folder was never walked: the folder below it stays.
    if (std::find(roots_.begin(), roots_.end(), root) == roots_.end())
        return;
    for (std::size_t i = 0; i < roots_.size();) {
        if (roots_[i] == root) {
            roots_.erase(roots_.begin() + static_cast<std::ptrdiff_t>(i));
            rootWatches_.erase(rootWatches_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    forgetUnder(root, false);
    std::erase_if(toWalk_, [&](const TWalkItem& item) { return isUnder(item.path, root); });
}

int TInotifyBackend::pollTimeout() const
{
    if (!toWalk_.empty())
        return 0;
    if (moves_.empty())
        return -1;
    const auto left = moves_.front().seen + kPairGrace - TClock::now();
    return static_cast<int>(std::max<long long>(1, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

void TInotifyBackend::serve(bool readable)
{
    std::vector<TItemObj> items;
    batchTime_ = std::chrono::system_clock::now();
    batchStart_ = TClock::now();
    if (readable)
        drain(items);
    settleMoves(items, false);
    walk(items, kWalkSlice, false);
    if (!items.empty())
        queue_->addItems(std::move(items));
}

void TInotifyBackend::finish()
{
    std::vector<TItemObj> items;
    batchTime_ = std::chrono::system_clock::now();
    batchStart_ = TClock::now();
    drain(items);
    settleMoves(items, true);
    if (!items.empty())
        queue_->addItems(std::move(items));
}

void TInotifyBackend::drain(std::vector<TItemObj>& items)
{
    constexpr int kMaxReads = 64; // a busy system still gets its events delivered in slices
    for (int reads = 0; reads < kMaxReads; ++reads) {
        const ssize_t length = ::read(inotify_.get(), buffer_.data(), buffer_.size() * sizeof(std::uint64_t));
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            throw std::system_error(errno, std::generic_category(), "read from the inotify instance");
        }
        if (length == 0)
            break;
        const char* data = reinterpret_cast<const char*>(buffer_.data());
        std::size_t offset = 0;
        while (offset + sizeof(inotify_event) <= static_cast<std::size_t>(length)) {
            const auto& header = *reinterpret_cast<const inotify_event*>(data + offset);
            const std::size_t size = sizeof(inotify_event) + header.len;
            if (offset + size > static_cast<std::size_t>(length))
                break;
            // Names are padded to whole headers, so every event starts aligned.
            decode(*reinterpret_cast<const inotify_event*>(data + offset), items);
            offset += size;
        }
    }
}

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
        auto known = paths_.find(event.wd);
        if (known != paths_.end()) {
            auto back = watches_.find(known->second);
            if (back != watches_.end() && back->second == event.wd)
                watches_.erase(back);
            paths_.erase(known);
        }
        return;
    }
    // Any other event settles the rename halves before it, so the order stays as it happened and
    // a folder moved out has lost its watches before its later events are looked at.
    if (!(mask & (IN_MOVED_FROM | IN_MOVED_TO)))
        settleMoves(items, true);
    auto folderIt = paths_.find(event.wd);
    if (folderIt == paths_.end())
        return;
    const std::string name = event.len ? std::string(event.name) : std::string();
    const std::string path = joinPath(folderIt->second, name);
    const bool folder = mask & IN_ISDIR;

    if (mask & IN_MOVED_FROM) {
        moves_.push_back({event.cookie, path, folder, TClock::now()});
        return;
    }
    if (mask & IN_MOVED_TO) {
        auto half = std::find_if(moves_.begin(), moves_.end(), [&](const TMoveHalf& m) { return m.cookie == event.cookie; });
        if (half == moves_.end()) {
            movedIn(path, folder, items);
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
        if (folder) {
            if (watches_.count(path))
                return; // reported by the scan of its parent
            if (kinds_[evMkDir])
                emit(items, evMkDir, path);
            struct stat status {};
            if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
                toWalk_.push_front({path, status.st_dev, true});
                walk(items, SIZE_MAX, true);
            }
        } else if (kinds_[evCreate]) {
            emit(items, evCreate, path);
        }
    }
    if ((mask & IN_MODIFY) && !folder && kinds_[evUpdateFile] && modifyDue(path))
        emit(items, evUpdateFile, path);
    if ((mask & IN_ATTRIB) && kinds_[evAttributes])
        emit(items, evAttributes, path);
    if (mask & IN_DELETE) {
        scanned_.erase(path);
        if (folder)
            forgetUnder(path, false); // its watch ends by itself; a new folder of that name is new

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
        forgetUnder(half.path, true);
    if (kinds_[half.folder ? evRmDir : evDelete])
        emit(items, half.folder ? evRmDir : evDelete, half.path);
}

// Moved in from outside: a create, and for a folder everything inside it.
void TInotifyBackend::movedIn(const std::string& path, bool folder, std::vector<TItemObj>& items)
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
    if (!watches_.count(item.path)) {
        const bool full = options_.maxWatches && paths_.size() >= options_.maxWatches;
        const int wd = full ? -1 : ::inotify_add_watch(inotify_.get(), item.path.c_str(), watchMask());
        if (wd >= 0) {
            paths_[wd] = item.path;
            watches_[item.path] = wd;
        } else if (full || errno == ENOSPC) {
            // Never fatal: the folder stays unwatched and is counted; its subfolders too.
            unwatched_.fetch_add(1);
            limitReached_.store(true);
        } else if (errno != ENOENT && errno != ENOTDIR) {
            unwatched_.fetch_add(1);
            std::lock_guard lock(warningsMutex_);
            if (warnings_.size() < 100)
                warnings_.push_back("inotify refused a watch on " + item.path + ": " + errorText(errno));
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

void TInotifyBackend::forgetUnder(const std::string& folder, bool removeWatches)
{
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (isUnder(it->first, folder)) {
            if (removeWatches)
                ::inotify_rm_watch(inotify_.get(), it->second);
            paths_.erase(it->second);
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
}

// Later events below a renamed folder carry its new path.
void TInotifyBackend::renameUnder(const std::string& from, const std::string& to)
{
    std::vector<std::pair<std::string, int>> moved;
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (isUnder(it->first, from)) {
            moved.emplace_back(to + it->first.substr(from.size()), it->second);
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [path, wd] : moved) {
        paths_[wd] = path;
        watches_[path] = wd;
    }
    for (TWalkItem& item : toWalk_)
        if (isUnder(item.path, from))
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

bool TInotifyBackend::modifyDue(const std::string& path)
{
    const auto now = TClock::now();
    constexpr auto kQuiet = std::chrono::seconds(1);
    auto [it, added] = lastModify_.try_emplace(path, now);
    if (!added) {
        if (now - it->second < kQuiet)
            return false;
        it->second = now;
    }
    if (lastModify_.size() > 8192)
        std::erase_if(lastModify_, [&](const auto& entry) { return now - entry.second >= kQuiet; });
    return true;
}

void TInotifyBackend::emit(std::vector<TItemObj>& items, int eventNum, std::string item1, std::string item2)
{
    items.emplace_back(std::move(item1), std::move(item2), eventNum, TEventOrigin{batchTime_, 0, {}});
}

std::vector<std::string> TInotifyBackend::warnings() const
{
    std::lock_guard lock(warningsMutex_);
    std::vector<std::string> result = warnings_;
    if (limitReached_.load())
        result.push_back("inotify watch limit reached: " + std::to_string(unwatched_.load()) +
                         " folders stay unwatched (raise fs.inotify.max_user_watches)");
    return result;
}

} // namespace

std::unique_ptr<TInotifySource> openInotifyBackend(std::string& whyNot, const TInotifyOptions& options)
{
    TFdObj inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!inotify) {
        whyNot = "inotify refused: " + errorText(errno);
        return nullptr;
    }
    TFdObj stopFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopFd) {
        whyNot = "inotify: no stop handle: " + errorText(errno);
        return nullptr;
    }
    return std::make_unique<TInotifyBackend>(std::move(inotify), std::move(stopFd), options);
}
