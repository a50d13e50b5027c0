#include "capture/UntInotifyCapture_linux.h"

#include "util/UntText.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace inotifycapture {
namespace {

// A read that leaves this much of the buffer unused took everything queued.
constexpr std::size_t kRoomForOneEvent = sizeof(inotify_event) + NAME_MAX + 1;
constexpr int kMaxReads = 64; // a busy system still gets its events delivered in slices
constexpr auto kFolderCalm = std::chrono::seconds(1);

} // namespace

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
        watches_.forEach(
            [this](int, const std::string& path) { ::inotify_add_watch(inotify_.get(), path.c_str(), watchMask()); });
    const int wd = ::inotify_add_watch(inotify_.get(), resolved, watchMask());
    if (wd < 0) {
        const int error = errno;
        refuse("inotify refused a watch on " + root + ": " + errorText(error) +
               (error == ENOSPC ? " (the watch limit is reached)" : ""));
        return false;
    }
    watches_.learnTop(wd, resolved);
    roots_.emplace_back(resolved);
    rootWatches_.push_back(wd);
    // The folders below are watched by the loop, a slice at a time, so events and stop are
    // served while a large tree is walked.
    toWalk_.push_back({wd, {}, status.st_dev, false});
    return true;
}

void TInotifyBackend::run()
{
    sink(); // opened
    pollfd fds[3] = {{inotify_.get(), POLLIN, 0}, {stopFd(), POLLIN, 0}, {mountsFd(), TMountWatcher::kPollEvents, 0}};
    followDrivesIf(roots_);
    for (;;) {
        if (::poll(fds, 3, withMountTimeout(pollTimeout())) < 0) {
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
        serveMounts(fds[2].revents != 0, kinds_);
        if (burst_ && gatherBurst()) {
            finish(); // stopped meanwhile
            return;
        }
    }
}

// Its watches end by themselves with the unmount; nothing of it is walked or reported any more.
void TInotifyBackend::releaseRoot(const std::string& root)
{
    // A filesystem mounted inside a watched folder was never walked: the folder below it stays.
    for (std::size_t i = 0; i < roots_.size();) {
        if (roots_[i] != root) {
            ++i;
            continue;
        }
        watches_.remove(rootWatches_[i], [this](int wd) { scanOrder_.forgetFolder(wd); });
        roots_.erase(roots_.begin() + static_cast<std::ptrdiff_t>(i));
        rootWatches_.erase(rootWatches_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    // Folders queued by their watch are skipped once it is gone; those without one go by path.
    const auto below = [&](const TScanItem& item) {
        return item.wd < 0 && isUnder(item.path, root, TPathStyle::Posix);
    };
    std::erase_if(toWalk_, below);
    std::erase_if(reported_, below);
}

bool TInotifyBackend::watchesRoot(const std::string& root) const
{
    return std::find(roots_.begin(), roots_.end(), root) != roots_.end();
}

int TInotifyBackend::pollTimeout() const
{
    if (!toWalk_.empty() || (!reported_.empty() && pairs_.empty()))
        return 0;
    if (moves_.empty())
        return -1;
    const auto left = moves_.front().seen + kPairGrace - TClock::now();
    return static_cast<int>(std::max<long long>(1, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

TInotifyBackend::TDrain TInotifyBackend::startDrain() const
{
    TDrain drain;
    drain.time = std::chrono::system_clock::now();
    drain.now = TClock::now();
    return drain;
}

void TInotifyBackend::handOver(TDrain& drain)
{
    if (!drain.items.empty())
        sink().addItems(std::move(drain.items));
}

void TInotifyBackend::serve(bool)
{
    TDrain drain = startDrain();
    readAll(drain, false);
    lastServe_ = drain.now;
    settleMoves(drain, false);
    walk(drain, kWalkSlice);
    handOver(drain);
}

void TInotifyBackend::finish()
{
    TDrain drain = startDrain();
    readAll(drain, true);
    settleMoves(drain, true);
    handOver(drain);
}

// Reads until the queue is empty. Then the findings of the last scans take their places, and new
// folders are scanned, whose findings wait for the next time the queue is empty: by then the
// kernel has said which of their entries came after the watch.
void TInotifyBackend::readAll(TDrain& drain, bool ending)
{
    const std::uint64_t folders = newFolders_;
    for (int reads = 1;; ++reads) {
        const std::uint64_t watchedBefore = newFolders_;
        const bool caughtUp = readOnce(drain);
        if (newFolders_ != watchedBefore)
            lastNewFolder_ = drain.now;
        holdPace(drain.now - lastNewFolder_ < kFolderCalm);
        // Events come faster than a read a wake-up takes, and the queue was emptied: more are on
        // their way. Not after a new folder, whose own first events are best read while it is
        // scanned.
        burst_ = caughtUp && newFolders_ == folders && isBurst(drain.events, drain.now - lastServe_);
        if (!caughtUp && reads < kMaxReads)
            continue;
        scanOrder_.settle(drain.items, drain.now);
        if (!caughtUp || reads >= kMaxReads || reported_.empty())
            return;
        // The queue was empty when read, but the watches this read added came later: what was
        // queued meanwhile happened before the scans look, so it is read before they do.
        if (newFolders_ != watchedBefore)
            continue;
        // A rename queues its two halves one after the other, and a reader can come between
        // them: the scans wait until a half still alone has its pair or its time is up, so that
        // what they find goes after the rename, or after the delete of a move out of the tree.
        settleMoves(drain, ending);
        if (!pairs_.empty())
            return;
        scanReported(drain, kWalkSlice);
    }
}

// One read, decoded; true when it took everything the kernel had queued.
bool TInotifyBackend::readOnce(TDrain& drain)
{
    const std::size_t capacity = buffer_.size() * sizeof(std::uint64_t);
    ssize_t length;
    do
        length = ::read(inotify_.get(), buffer_.data(), capacity);
    while (length < 0 && errno == EINTR);
    if (length < 0) {
        if (errno == EAGAIN)
            return true;
        throw std::system_error(errno, std::generic_category(), "read from the inotify instance");
    }
    const char* data = reinterpret_cast<const char*>(buffer_.data());
    const auto size = static_cast<std::size_t>(length);
    std::size_t offset = 0;
    while (offset + sizeof(inotify_event) <= size) {
        const auto& header = *reinterpret_cast<const inotify_event*>(data + offset);
        const std::size_t eventSize = sizeof(inotify_event) + header.len;
        if (offset + eventSize > size)
            break;
        // Names are padded to whole headers, so every event starts aligned.
        decode(header, drain);
        ++drain.events;
        offset += eventSize;
    }
    return size + kRoomForOneEvent <= capacity;
}

std::vector<std::string> TInotifyBackend::warnings() const
{
    std::vector<std::string> result = TInotifySource::warnings();
    if (limitReached_.load())
        result.push_back("inotify watch limit reached: " + std::to_string(unwatched_.load()) +
                         " folders stay unwatched (raise fs.inotify.max_user_watches)");
    return result;
}

} // namespace inotifycapture

std::unique_ptr<TInotifySource> openInotifyBackend(std::string& whyNot, const TInotifyOptions& options)
{
    using namespace inotifycapture;
    TFdObj inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!inotify) {
        whyNot = "inotify refused: " + errorText(errno);
        return nullptr;
    }
    TWakeEvent stop;
    if (!stop) {
        whyNot = "inotify: no stop handle: " + errorText(errno);
        return nullptr;
    }
    return std::make_unique<TInotifyBackend>(std::move(inotify), std::move(stop), options);
}
