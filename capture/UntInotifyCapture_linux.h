// The recursive inotify backend's own type, shared by its two source files only.
#pragma once

#include "capture/UntInotifyBackend_linux.h"
#include "capture/UntInotifyWatches_linux.h"
#include "util/UntOsHandle.h"

#include <sys/inotify.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace inotifycapture {

using TClock = std::chrono::steady_clock;

inline constexpr auto kPairGrace = std::chrono::milliseconds(20); // a rename's halves arrive together
inline constexpr int kWalkSlice = 64;                             // folders watched per loop turn

struct TWalkItem {
    std::string path;
    dev_t device = 0;
    bool report = false; // new in the tree: what it holds is reported as created
};

struct TMoveHalf {
    std::uint32_t cookie = 0;
    std::string path;
    bool folder = false;
    TClock::time_point seen;
};

class TInotifyBackend final : public TInotifySource {
public:
    TInotifyBackend(TFdObj inotify, TWakeEvent stop, const TInotifyOptions& options)
        : TInotifySource(std::move(stop), options.watchMounts), inotify_(std::move(inotify)), options_(options)
    {
        kinds_.fill(false);
    }
    ~TInotifyBackend() override
    {
        watches_.forEachWatch([this](int wd, const std::string&) { ::inotify_rm_watch(inotify_.get(), wd); });
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
    void releaseRoot(const std::string& root) override;
    bool watchesRoot(const std::string& root) const override { return watches_.isWatched(root); }
    void drain(std::vector<TItemObj>& items);
    void decode(const inotify_event& event, std::vector<TItemObj>& items);
    void settleMoves(std::vector<TItemObj>& items, bool all);
    void movedOut(const TMoveHalf& half, std::vector<TItemObj>& items);
    void arrived(const std::string& path, bool folder, std::vector<TItemObj>& items);
    void renameUnder(const std::string& from, const std::string& to);
    void walk(std::vector<TItemObj>& items, std::size_t budget, bool reportedOnly);
    void watchFolder(const TWalkItem& item, std::vector<TItemObj>& items, std::deque<TWalkItem>& below);
    bool wasScanned(const std::string& path);
    bool isRootWatch(int wd) const;
    void emit(std::vector<TItemObj>& items, int eventNum, std::string item1, std::string item2 = {});
    std::uint32_t watchMask() const;

    TFdObj inotify_;
    TInotifyOptions options_;
    TEventKinds kinds_{};
    std::vector<std::string> roots_;
    std::vector<int> rootWatches_;
    TInotifyWatchMap watches_;
    std::deque<TWalkItem> toWalk_; // reported folders first, the initial walk behind
    std::deque<TMoveHalf> moves_;  // rename halves waiting for their pair
    // Entries a folder scan reported, so the kernel's own create event for them is not doubled.
    std::unordered_map<std::string, TClock::time_point> scanned_;
    TModifyThrottle modify_;
    std::vector<std::uint64_t> buffer_ = std::vector<std::uint64_t>(32768);
    TClock::time_point batchStart_;
    std::chrono::system_clock::time_point batchTime_;

    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> unwatched_{0};
    std::atomic<bool> limitReached_{false};
};

} // namespace inotifycapture
