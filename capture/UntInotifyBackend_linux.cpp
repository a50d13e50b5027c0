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
        watches_.forEachWatch(
            [this](int, const std::string& path) { ::inotify_add_watch(inotify_.get(), path.c_str(), watchMask()); });
    const int wd = ::inotify_add_watch(inotify_.get(), resolved, watchMask());
    if (wd < 0) {
        const int error = errno;
        refuse("inotify refused a watch on " + root + ": " + errorText(error) +
               (error == ENOSPC ? " (the watch limit is reached)" : ""));
        return false;
    }
    watches_.add(wd, resolved);
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
    }
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
    watches_.forgetUnder(root);
    std::erase_if(toWalk_, [&](const TWalkItem& item) { return isUnder(item.path, root, TPathStyle::Posix); });
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
        sink().addItems(std::move(items));
}

void TInotifyBackend::finish()
{
    std::vector<TItemObj> items;
    batchTime_ = std::chrono::system_clock::now();
    batchStart_ = TClock::now();
    drain(items);
    settleMoves(items, true);
    if (!items.empty())
        sink().addItems(std::move(items));
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
