#include "capture/UntFanotifyCapture_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace fanotifycapture {
namespace {

std::string fsidBytes(const struct statfs& info)
{
    return std::string(reinterpret_cast<const char*>(&info.f_fsid), sizeof info.f_fsid);
}

bool isMountRoot(const char* path)
{
    struct stat self {};
    struct stat parent {};
    const std::string up = std::string(path) + "/..";
    if (::stat(path, &self) != 0 || ::stat(up.c_str(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
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

} // namespace

TFanotifyBackend::~TFanotifyBackend()
{
    for (auto& [key, fs] : fileSystems_)
        ::fanotify_mark(group_.get(), FAN_MARK_REMOVE | FAN_MARK_FILESYSTEM, mask_, AT_FDCWD, fs.path.c_str());
}

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
    if (const std::string rootKey = fidKeyAt(folder.get(), "", AT_EMPTY_PATH, key); !rootKey.empty())
        folders_.learnTop(rootKey, resolved);
    const bool whole = isMountRoot(resolved);
    if (known == fileSystems_.end())
        known = fileSystems_.emplace(key, TFileSystem{resolved, whole, TFdObj()}).first;
    known->second.wholeFileSystem = known->second.wholeFileSystem || whole;
    roots_.emplace_back(resolved);
    return true;
}

void TFanotifyBackend::run()
{
    sink(); // opened
    pollfd fds[4] = {
        {group_.get(), POLLIN, 0}, {stopFd(), POLLIN, 0}, {mountsFd(), TMountWatcher::kPollEvents, 0}, {-1, POLLIN, 0}};
    followDrivesIf(roots_);
    // The stop handle is never read, so a stop before run() ends it at once as well.
    for (;;) {
        // A drive mounted meanwhile may have brought the inotify fallback.
        fds[3].fd = fallbackFd();
        if (::poll(fds, 4, withMountTimeout(withFallbackTimeout(-1))) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll on the fanotify group");
        }
        if (fds[1].revents) {
            // What the kernel queued before the stop belongs to the recording.
            drain();
            finishFallback();
            return;
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            throw std::runtime_error("the fanotify group failed");
        bool burst = false;
        if (fds[0].revents & POLLIN) {
            const auto now = TClock::now();
            burst = drain() && isBurst(lastRecords_, now - lastDrain_);
            lastDrain_ = now;
        }
        if (!burst)
            for (auto& [fsid, fs] : fileSystems_)
                fs.open.close();
        serveFallback(fds[3].revents);
        serveMounts(fds[2].revents != 0, kinds_);
        if (burst && gatherBurst()) {
            drain(); // stopped meanwhile
            finishFallback();
            return;
        }
    }
}

// The mark ends with the filesystem; a filesystem mounted there again is marked anew.
void TFanotifyBackend::releaseRoot(const std::string& root)
{
    if (std::erase(roots_, root) == 0)
        return;
    std::erase_if(fileSystems_, [&](const auto& entry) { return isUnder(entry.second.path, root, TPathStyle::Posix); });
}

bool TFanotifyBackend::watchesRoot(const std::string& root) const
{
    return std::find(roots_.begin(), roots_.end(), root) != roots_.end();
}

} // namespace fanotifycapture

std::unique_ptr<TCaptureBackend> openFanotifyBackend(std::string& whyNot, bool inotifyFallback)
{
    const unsigned flags =
        FAN_CLASS_NOTIF | FAN_REPORT_DFID_NAME_TARGET | FAN_UNLIMITED_QUEUE | FAN_CLOEXEC | FAN_NONBLOCK;
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
    return std::make_unique<fanotifycapture::TFanotifyBackend>(std::move(group), std::move(stop), inotifyFallback);
}
