// The fanotify backend's own type, shared by its two source files only.
#pragma once

#include "capture/UntFanotifyBackend_linux.h"
#include "capture/UntFanotifyRecords_linux.h"
#include "capture/UntInotifyBackend_linux.h"
#include "capture/UntInotifyWatches_linux.h"
#include "capture/UntLinuxBackend_linux.h"
#include "util/UntOsHandle.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace fanotifycapture {

struct TFileSystem {
    // A folder of the filesystem, opened only while needed: a descriptor kept open would make
    // its unmount fail.
    std::string path;
    // A root is the top of this filesystem, so every event of it belongs to the recording. With
    // only folders below the top watched, a folder that cannot be named any more is taken to lie
    // outside them: the folders inside are learnt as they are created or seen.
    bool wholeFileSystem = false;
};

class TFanotifyBackend final : public TLinuxBackend {
public:
    TFanotifyBackend(TFdObj group, TWakeEvent stop, bool inotifyFallback)
        : TLinuxBackend(std::move(stop), true), group_(std::move(group)), inotifyFallback_(inotifyFallback)
    {
        kinds_.fill(false);
    }
    ~TFanotifyBackend() override;

    std::string name() const override { return "fanotify"; }
    bool addWatch(const std::string& root, const TEventKinds& kinds) override;
    void run() override;
    TCaptureCounters counters() const override
    {
        TCaptureCounters result;
        result.overflows = overflows_.load();
        result.refusedRoots = refusedRoots();
        result.unresolvedPaths = unresolvedPaths_.load();
        std::lock_guard lock(fallbackMutex_); // a drive mounted later may bring the fallback
        if (fallback_)
            result += fallback_->counters();
        return result;
    }
    std::vector<std::string> warnings() const override
    {
        std::vector<std::string> result = TLinuxBackend::warnings();
        std::lock_guard lock(fallbackMutex_);
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

    bool watchWithInotify(const std::string& root, const TEventKinds& kinds, const std::string& why);
    void drain();
    void releaseRoot(const std::string& root) override;
    bool watchesRoot(const std::string& root) const override;
    void decode(const TParsedEvent& event, TBatch& batch);
    std::optional<std::string> folderPath(const TFidRecord& record);
    std::optional<std::string> entryPath(const std::optional<TFidRecord>& record);
    bool isWatched(const std::string& path) const;
    void countUnresolved(const std::optional<TFidRecord>& record);
    void emit(TBatch& batch, int pid, int eventNum, std::string item1, std::string item2 = {});

    TFdObj group_;
    const bool inotifyFallback_;
    // Roots on filesystems that refuse a mark, watched folder by folder in the same loop.
    std::unique_ptr<TInotifySource> fallback_; // set on the monitor thread under fallbackMutex_
    mutable std::mutex fallbackMutex_;
    const int selfPid_ = static_cast<int>(::getpid());

    TEventKinds kinds_{};
    std::uint64_t mask_ = 0;
    std::unordered_map<std::string, TFileSystem> fileSystems_; // by fsid
    std::vector<std::string> roots_;                           // canonical, in the order given
    TPathCache folders_;
    TModifyThrottle modify_;
    std::vector<std::uint64_t> buffer_ = std::vector<std::uint64_t>(32768); // 256 KiB, aligned

    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> unresolvedPaths_{0};
};

} // namespace fanotifycapture
