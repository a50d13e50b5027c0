// What the Linux backends share: the sink they fill, the stop handle, the mount-table watcher
// that reports drives and follows them, the inotify fallback for roots whose filesystem refuses a
// whole-filesystem mark, and the refusals and warnings the user reads.
#pragma once

#include "capture/UntBurstPace.h"
#include "capture/UntCaptureBackend.h"
#include "capture/UntMountWatcher_linux.h"
#include "events/UntEventSink.h"
#include "util/UntWakeEvent_linux.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

inline std::string errorText(int error)
{
    return std::generic_category().message(error);
}

class TInotifySource;

class TLinuxBackend : public TCaptureBackend {
public:
    ~TLinuxBackend() override;
    // Opens the mount-table watcher when this backend reports drives; the sink outlives run().
    void open(TEventSink& sink) override;
    void stop() override { stop_.signal(); }
    // Its own and the inotify fallback's.
    std::vector<std::string> warnings() const override;

protected:
    // longestPause: the bound of the reader's pause between reads during a burst (TBurstPace).
    TLinuxBackend(TWakeEvent stop, bool watchMounts, std::chrono::microseconds longestPause = TBurstPace::kLongest);

    // The sink given to open(); run() before open() is a logic error.
    TEventSink& sink() const;
    int stopFd() const { return stop_.fd(); }
    // -1 when drives are not reported or the mount table could not be watched.
    int mountsFd() const { return mounts_ ? mounts_->pollFd() : -1; }
    // A poll timeout in milliseconds (-1: none) shortened to the mount watcher's own.
    int withMountTimeout(int timeout) const;
    // While events keep coming, the reader pauses between reads (TBurstPace). isBurst: whether
    // events read at this wake-up, since the one before, come fast enough for it; gatherBurst
    // pauses, and is true when a stop came meanwhile.
    bool isBurst(std::size_t events, std::chrono::steady_clock::duration since) { return pace_.isBurst(events, since); }
    bool gatherBurst() const;
    void holdPace(bool held) { pace_.hold(held); }
    // Before the loop: when every root is a mount point, a drive mounted later is watched too.
    void followDrivesIf(const std::vector<std::string>& roots);
    // Drives mounted and unmounted since the last call, reported for the kinds asked, and when the
    // roots are the drives, watched (addWatch) or let go (releaseRoot).
    void serveMounts(bool changed, const TEventKinds& kinds);

    // A root whose filesystem refuses a whole-filesystem mark (why says so), watched folder by
    // folder with inotify in this backend's own loop. False when inotify refused it too.
    bool watchWithInotify(const std::string& root, const TEventKinds& kinds, const std::string& why);
    // For the loop, on the monitor thread: the fallback's descriptor (-1 while there is none), a
    // poll timeout shortened to its own, its turn after the poll, and its end.
    int fallbackFd() const;
    int withFallbackTimeout(int timeout) const;
    void serveFallback(short revents);
    void finishFallback();
    // counts with the fallback's added.
    TCaptureCounters withFallback(TCaptureCounters counts) const;

    // A root that cannot be watched: counted, and said to the user.
    void refuse(const std::string& text);
    void warn(const std::string& text);
    std::uint64_t refusedRoots() const { return refusedRoots_.load(); }

private:
    virtual void releaseRoot(const std::string& root) = 0;
    virtual bool watchesRoot(const std::string& root) const = 0;

    TWakeEvent stop_;
    const bool watchMounts_;
    TEventSink* sink_ = nullptr;
    TBurstPace pace_;
    std::unique_ptr<TMountWatcher> mounts_;
    bool followDrives_ = false;
    std::atomic<std::uint64_t> refusedRoots_{0};
    // Set on the monitor thread under fallbackMutex_ (a drive mounted later may bring it).
    std::unique_ptr<TInotifySource> fallback_;
    mutable std::mutex fallbackMutex_;
    mutable std::mutex warningsMutex_;
    std::vector<std::string> warnings_;
};
