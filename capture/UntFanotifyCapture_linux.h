// The fanotify backend's own type, shared by its two source files only.
#pragma once

#include "capture/UntFanotifyBackend_linux.h"
#include "capture/UntFanotifyRecords_linux.h"
#include "capture/UntFolderTree_linux.h"
#include "capture/UntInotifyBackend_linux.h"
#include "capture/UntLinuxBackend_linux.h"
#include "capture/UntMergedDeletes_linux.h"
#include "capture/UntRecentKeys.h"
#include "util/UntOsHandle.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fanotifycapture {

using TClock = std::chrono::steady_clock;

// Folders whose paths are kept at most; past that all but the roots are forgotten and learnt
// again from their handles as events name them.
inline constexpr std::size_t kFolderLimit = 65536;
// A process name read from /proc serves the events of that pid for this long.
inline constexpr auto kProcessNameLife = std::chrono::milliseconds(100);

struct TFileSystem {
    // A folder of the filesystem, opened only while needed: a descriptor kept open would make
    // its unmount fail.
    std::string path;
    // A root is the top of this filesystem, so every event of it belongs to the recording. With
    // only folders below the top watched, a folder that cannot be named any more is taken to lie
    // outside them: the folders inside are learnt as they are created or seen.
    bool wholeFileSystem = false;
    // That folder opened while a burst lasts, for the handles it resolves; closed before the
    // reader waits, so an unmount is refused at most while events of it are being read.
    TFdObj open;
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
        result.mergedPairs = mergedPairs_.load();
        return withFallback(result);
    }

private:
    // What one drain collects: every event of it carries the same wall-clock time.
    struct TDrain {
        std::chrono::system_clock::time_point time;
        TClock::time_point now;
        std::vector<TItemObj> items;
    };

    bool drain();
    void releaseRoot(const std::string& root) override;
    bool watchesRoot(const std::string& root) const override;
    void decode(const TParsedEvent& event, TDrain& drain);
    void renamed(const TParsedEvent& event, bool folder, bool own, TDrain& drain);
    void emitMerged(const TMergedDeletes::TDelete& entry, TDrain& drain);
    void settleMerged(TDrain& drain);
    const std::string* folderPath(const TFidRecord& record);
    const std::string* resolveFolder(std::string_view key);
    void learnFolder(std::string_view key, std::string_view parent, std::string_view name);
    bool stillThere(const TParsedEvent& event);
    TFdObj openFolder(std::string_view key, int flags);
    bool isWatched(std::string_view path) const;
    // Whether folder/name is at or below a root, without making the path.
    bool isWatchedEntry(std::string_view folder, std::string_view name) const;
    void countUnresolved(const TFidRecord& record);
    const std::string& processName(int pid, TClock::time_point now);
    TEventOrigin origin(TDrain& drain, int pid);
    void emit(TDrain& drain, int pid, int eventNum, std::string item1, std::string item2 = {});

    TFdObj group_;
    const bool inotifyFallback_;
    const int selfPid_ = static_cast<int>(::getpid());

    TEventKinds kinds_{};
    std::uint64_t mask_ = 0;
    std::unordered_map<std::string, TFileSystem, TTextHash, std::equal_to<>> fileSystems_; // by fsid
    std::vector<std::string> roots_; // canonical, in the order given
    TFolderTree<std::string> folders_;
    TModifyThrottle modify_; // by file handle: a new file is a new key
    TMergedDeletes merged_;  // of the read in progress
    TRecentKeys<int, std::string> processNames_{kProcessNameLife, 4096};
    std::vector<std::uint64_t> buffer_ = std::vector<std::uint64_t>(32768); // 256 KiB, aligned
    std::size_t lastRecords_ = 0;                                           // read by the last drain
    TClock::time_point lastDrain_;

    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> unresolvedPaths_{0};
    std::atomic<std::uint64_t> mergedPairs_{0};
};

} // namespace fanotifycapture
