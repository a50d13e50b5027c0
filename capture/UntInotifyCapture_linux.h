// The recursive inotify backend's own type, shared by its source files only.
#pragma once

#include "capture/UntFolderTree_linux.h"
#include "capture/UntInotifyBackend_linux.h"
#include "capture/UntRecentKeys.h"
#include "capture/UntScanOrder_linux.h"
#include "util/UntOsHandle.h"

#include <sys/inotify.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace inotifycapture {

using TClock = std::chrono::steady_clock;

inline constexpr auto kPairGrace = std::chrono::milliseconds(20);      // a rename's halves arrive together
inline constexpr int kWalkSlice = 64;                                  // folders walked per loop turn
inline constexpr auto kScanRetryTime = std::chrono::milliseconds(100); // a folder renamed before its scan
inline constexpr std::size_t kReadBuffer = 1 << 20;                    // more than the kernel's default queue holds
// A folder made during a pause is watched only at the next read: what is made and removed in it
// before then is never seen, so the pause stays shorter than fanotify's.
inline constexpr auto kLongestPause = std::chrono::milliseconds(8);

// A folder to scan: by its watch, or by its path when it could not be watched.
struct TScanItem {
    int wd = -1;
    std::string path; // only without a watch
    dev_t device = 0;
    bool report = false;               // new in the tree: what it holds is reported as created
    TClock::time_point missingSince{}; // not found at its path since then
};

// The first half of a rename, waiting for its pair.
struct TMoveHalf {
    std::uint32_t cookie = 0;
    int wd = -1;
    std::string name;
    std::string path;
    bool folder = false;
    bool paired = false;
    TClock::time_point seen;
};

class TInotifyBackend final : public TInotifySource {
public:
    TInotifyBackend(TFdObj inotify, TWakeEvent stop, const TInotifyOptions& options)
        : TInotifySource(std::move(stop), options.watchMounts, kLongestPause), inotify_(std::move(inotify)),
          options_(options)
    {
        kinds_.fill(false);
    }
    ~TInotifyBackend() override
    {
        watches_.forEach([this](int wd, const std::string&) { ::inotify_rm_watch(inotify_.get(), wd); });
    }

    std::string name() const override { return "inotify"; }
    bool addWatch(const std::string& root, const TEventKinds& kinds) override;
    void run() override;
    TCaptureCounters counters() const override
    {
        TCaptureCounters result;
        result.overflows = overflows_.load();
        result.refusedRoots = refusedRoots();
        result.foldersNotWatched = unwatched_.load();
        return result;
    }
    std::vector<std::string> warnings() const override;

    int pollFd() const override { return inotify_.get(); }
    int pollTimeout() const override;
    void serve(bool readable) override;
    void finish() override;

private:
    // What one turn of the loop collects: every event of it carries the same wall-clock time.
    struct TDrain {
        std::chrono::system_clock::time_point time;
        TClock::time_point now;
        std::vector<TItemObj> items;
        std::size_t events = 0; // read from the kernel
    };

    void releaseRoot(const std::string& root) override;
    bool watchesRoot(const std::string& root) const override;
    TDrain startDrain() const;
    void handOver(TDrain& drain);
    void readAll(TDrain& drain, bool ending); // ending: no rename half waits for its pair
    bool readOnce(TDrain& drain);
    void decode(const inotify_event& event, TDrain& drain);
    void overflowed(TDrain& drain);
    void settleMoves(TDrain& drain, bool all);
    void settleBefore(const TMoveHalf& paired, TDrain& drain);
    void movedOut(const TMoveHalf& half, TDrain& drain);
    void arrived(int parent, std::string_view name, std::string path, bool folder, TDrain& drain);
    void watchNew(int parent, std::string_view name, const std::string& path, bool report);
    void scanReported(TDrain& drain, std::size_t budget);
    void walk(TDrain& drain, std::size_t budget);
    void scan(const TScanItem& item, TDrain& drain, std::deque<TScanItem>& below);
    int addFolderWatch(const std::string& where, const std::string& path);
    bool isRootWatch(int wd) const;
    void emit(TDrain& drain, int eventNum, std::string item1, std::string item2 = {});
    std::uint32_t watchMask() const;

    TFdObj inotify_;
    TInotifyOptions options_;
    TEventKinds kinds_{};
    std::vector<std::string> roots_;
    std::vector<int> rootWatches_;
    TFolderTree<int> watches_;       // the folder of every watch, by its descriptor
    std::deque<TScanItem> reported_; // new folders, scanned as soon as the queue is empty
    std::deque<TScanItem> toWalk_;   // folders there before (or after an overflow), a slice a turn
    TScanOrder scanOrder_;
    std::deque<TMoveHalf> moves_;                         // rename halves in the order read
    std::unordered_map<std::uint32_t, TMoveHalf*> pairs_; // cookie -> its half still waiting
    TModifyThrottle modify_;
    std::vector<std::uint64_t> buffer_ = std::vector<std::uint64_t>(kReadBuffer / sizeof(std::uint64_t));

    bool burst_ = false;           // events come fast, and the last read emptied the queue
    TClock::time_point lastServe_; // when the last turn began
    std::uint64_t newFolders_ = 0; // folders that arrived while recording
    // A pause lets folders be made and removed before they have a watch: it is held short while
    // folders keep coming, until none has come for kFolderCalm.
    TClock::time_point lastNewFolder_;

    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> unwatched_{0};
    std::atomic<bool> limitReached_{false};
};

} // namespace inotifycapture
