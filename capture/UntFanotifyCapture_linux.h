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
        return withFallback(result);
    }

private:
    struct TBatch {
        std::chrono::system_clock::time_point time;
        std::unordered_map<int, std::string> processNames;
        std::vector<TItemObj> items;
    };

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
