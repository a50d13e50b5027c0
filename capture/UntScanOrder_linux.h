// Where what a folder scan finds goes among the events the kernel reports around it.
//
// A new folder is watched at once and scanned later, once the reader has emptied the kernel's
// queue, so the scan never holds up reading. An entry the scan finds either was there before the
// watch (only the scan can report it) or came after (the kernel reports it too, in its place).
// So the findings wait until the queue has been emptied once more: the kernel's create for a
// found entry then drops the finding, anything else the kernel says about it confirms it, and
// what is left is put where the scan happened, after everything read before it.
//
// Between the watch and the scan, the kernel's own events tell which entries the scan must skip;
// an event about an entry it never reported as created (a write, a delete) shows that the entry
// was there before the watch: its create is reported first. The same holds after the scan until
// the queue is empty again, for an entry removed between the last read and the scan.
//
// Plain data: the backend feeds it the kernel's events and the scan's entries, and merges. Each
// call is O(1) amortised; it holds the names heard in folders still waiting for their scan, the
// findings of one round of scans, and the entries reported by scans in the last second.
#pragma once

#include "capture/UntRecentKeys.h"
#include "events/UntItemObj.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TScanOrder {
public:
    using TClock = std::chrono::steady_clock;

    // What to do with a kernel event about an entry.
    enum class TVerdict {
        Report,            // as usual
        ReportAfterCreate, // report the entry's create first: it was there before the watch
        Drop,              // a scan has reported this create already
    };

    // Folder wd has its watch and waits for its scan.
    void awaitScan(int wd) { waiting_.try_emplace(wd); }
    bool awaitsScan(int wd) const
    {
        auto folder = waiting_.find(wd);
        return folder != waiting_.end() && !folder->second.scanned;
    }

    // A kernel event in folder wd about name; created: a create or a move in.
    TVerdict kernelEvent(int wd, std::string_view name, bool created, TClock::time_point now);

    // The scan of folder wd is done (or could not be made).
    void scanned(int wd);
    // Whether the scan of wd reports name: not when the kernel has spoken of it since the watch.
    bool reports(int wd, std::string_view name) const;
    // A finding of the scan of wd (-1 for a folder without a watch), put before the event at
    // index at of the events read so far.
    void found(int wd, std::string_view name, std::size_t at, TItemObj item);

    bool pending() const { return !findings_.empty() || !settling_.empty(); }
    // The kernel's queue has been emptied since the last scans: the findings still standing go
    // into items at their places, and are remembered for a second.
    void settle(std::vector<TItemObj>& items, TClock::time_point now);

    // The watch of wd ended: nothing waits for it any more.
    void forgetFolder(int wd) { waiting_.erase(wd); }

private:
    struct TFinding {
        std::size_t at = 0;
        std::string key; // empty for a folder without a watch: the kernel says nothing of it
        bool dropped = false;
        TItemObj item;
    };
    const std::string& keyOf(int wd, std::string_view name);

    struct TFolder {
        std::unordered_set<std::string, TTextHash, std::equal_to<>> heard; // names the kernel spoke of
        bool scanned = false;
    };
    std::unordered_map<int, TFolder> waiting_; // until the queue is empty after the scan
    std::vector<int> settling_;                // the folders scanned since the last settle
    std::vector<TFinding> findings_;           // in the order found
    std::unordered_map<std::string, std::size_t, TTextHash, std::equal_to<>> open_; // key -> finding
    TRecentKeys<std::string> recent_{std::chrono::seconds(1), 65536};
    std::string key_; // reused for every lookup
};
