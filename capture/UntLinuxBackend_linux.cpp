#include "capture/UntLinuxBackend_linux.h"

#include "capture/UntInotifyBackend_linux.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

TLinuxBackend::TLinuxBackend(TWakeEvent stop, bool watchMounts, std::chrono::microseconds longestPause)
    : stop_(std::move(stop)), watchMounts_(watchMounts), pace_(longestPause)
{
}

TLinuxBackend::~TLinuxBackend() = default;

void TLinuxBackend::open(TEventSink& sink)
{
    sink_ = &sink;
    if (!watchMounts_)
        return;
    std::string error;
    if (!(mounts_ = openMountWatcher(error)))
        warn(error);
}

std::vector<std::string> TLinuxBackend::warnings() const
{
    std::vector<std::string> result;
    {
        std::lock_guard lock(warningsMutex_);
        result = warnings_;
    }
    std::lock_guard lock(fallbackMutex_);
    if (fallback_)
        for (std::string& more : fallback_->warnings())
            result.push_back(std::move(more));
    return result;
}

bool TLinuxBackend::watchWithInotify(const std::string& root, const TEventKinds& kinds, const std::string& why)
{
    if (!fallback_) {
        std::string whyNot;
        auto fallback = openInotifyBackend(whyNot, TInotifyOptions{0, false});
        if (!fallback) {
            refuse(why + "; " + whyNot);
            return false;
        }
        fallback->open(sink());
        std::lock_guard lock(fallbackMutex_);
        fallback_ = std::move(fallback);
    }
    if (!fallback_->addWatch(root, kinds))
        return false; // counted and explained by the fallback
    warn(why + "; using recursive inotify for it");
    return true;
}

int TLinuxBackend::fallbackFd() const
{
    return fallback_ ? fallback_->pollFd() : -1;
}

int TLinuxBackend::withFallbackTimeout(int timeout) const
{
    const int own = fallback_ ? fallback_->pollTimeout() : -1;
    if (own < 0)
        return timeout;
    return timeout < 0 ? own : std::min(timeout, own);
}

void TLinuxBackend::serveFallback(short revents)
{
    if (!fallback_)
        return;
    if (revents & (POLLERR | POLLHUP | POLLNVAL))
        throw std::runtime_error("the inotify instance failed");
    fallback_->serve(revents & POLLIN);
}

void TLinuxBackend::finishFallback()
{
    if (fallback_)
        fallback_->finish();
}

TCaptureCounters TLinuxBackend::withFallback(TCaptureCounters counts) const
{
    std::lock_guard lock(fallbackMutex_);
    if (fallback_)
        counts += fallback_->counters();
    return counts;
}

bool TLinuxBackend::gatherBurst() const
{
    pollfd stop{stopFd(), POLLIN, 0};
    const timespec pause{0, std::chrono::duration_cast<std::chrono::nanoseconds>(pace_.pause()).count()};
    return ::ppoll(&stop, 1, &pause, nullptr) > 0 && stop.revents;
}

TEventSink& TLinuxBackend::sink() const
{
    if (!sink_)
        throw std::logic_error(name() + " backend used before open");
    return *sink_;
}

int TLinuxBackend::withMountTimeout(int timeout) const
{
    const int mounts = mounts_ ? mounts_->pollTimeout() : -1;
    if (mounts < 0)
        return timeout;
    return timeout < 0 ? mounts : std::min(timeout, mounts);
}

void TLinuxBackend::followDrivesIf(const std::vector<std::string>& roots)
{
    followDrives_ = mounts_ && !roots.empty() && std::all_of(roots.begin(), roots.end(), [&](const std::string& root) {
                        return mounts_->isMountPoint(root);
                    });
}

void TLinuxBackend::serveMounts(bool changed, const TEventKinds& kinds)
{
    if (!mounts_)
        return;
    const std::vector<TMountChange> changes = mounts_->serve(changed);
    if (changes.empty())
        return;
    std::vector<TItemObj> items;
    const TEventOrigin origin{std::chrono::system_clock::now(), 0, {}};
    for (const TMountChange& change : changes) {
        if (kinds[change.eventNum])
            items.emplace_back(change.root, std::string(), change.eventNum, origin);
        if (!change.localDrive)
            continue;
        const std::string path = change.root.size() > 1 ? change.root.substr(0, change.root.size() - 1) : change.root;
        if (!change.added)
            releaseRoot(path);
        else if (followDrives_ && !watchesRoot(path))
            addWatch(path, TEventKinds(kinds)); // a copy: addWatch widens the kinds it was given
    }
    if (!items.empty())
        sink().addItems(std::move(items));
}

void TLinuxBackend::refuse(const std::string& text)
{
    refusedRoots_.fetch_add(1);
    warn(text);
}

void TLinuxBackend::warn(const std::string& text)
{
    std::lock_guard lock(warningsMutex_);
    warnings_.push_back(text);
}
