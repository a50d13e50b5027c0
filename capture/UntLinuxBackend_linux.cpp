#include "capture/UntLinuxBackend_linux.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

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
    std::lock_guard lock(warningsMutex_);
    return warnings_;
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
