// What differs between platforms behind the monitor thread. Each backend hides its types in its
// own .cpp; chooseBackend() is the one place that picks one and keeps the reason for a refusal.
#pragma once

#include "events/UntEvents.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TEventSink;

using TEventKinds = std::array<bool, kEventCount>; // index = event number, true = watched

// What the user is told besides the events, in three counts kept apart: events that happened
// but were not delivered, folders below a root that were never watched, and roots refused as a
// whole. An unwatched folder loses nothing that was captured, so it is never called a lost event.
struct TCaptureCounters {
    // Events lost.
    std::uint64_t overflows = 0;       // kernel queue overflows
    std::uint64_t unresolvedPaths = 0; // events whose path could not be named
    std::uint64_t undecodedEvents = 0; // notifications or helper records that name no event
    std::uint64_t droppedEvents = 0;   // captured, then dropped after the delivery failed
    // Not watched.
    std::uint64_t foldersNotWatched = 0; // below a root: no permission, the watch limit
    std::uint64_t refusedRoots = 0;      // roots that could not be watched at all
    // Not a loss: a create and a delete of one name the kernel merged into one record while it
    // was queued, whose order was inferred from whether the name still exists.
    std::uint64_t mergedPairs = 0;

    // Anything lost; overflows count overflows, not events.
    std::uint64_t lostEvents() const { return overflows + unresolvedPaths + undecodedEvents + droppedEvents; }
    TCaptureCounters& operator+=(const TCaptureCounters& more);
    bool operator==(const TCaptureCounters&) const = default;
};

// One short text per count that is not zero, in this order: "12 folders not watched",
// "3 events lost", "1 root refused". An overflow loses an unknown number: "events lost", or
// "more than 3 events lost". With details, what the lost events were: "3 events lost (1 unnamed
// path, 2 dropped after a failure)", "events lost in 2 queue overflows".
std::vector<std::string> captureCountTexts(const TCaptureCounters& counters, bool details = false);

class TCaptureBackend {
public:
    // The monitor destroys it on its own thread once run() has returned: the watches are removed
    // first, then the hidden window or the descriptors.
    virtual ~TCaptureBackend() = default;
    virtual std::string name() const = 0;
    // On the monitor thread, before any watch: the hidden window, the notification group, the
    // stop handle. Decoded events go to queue, which outlives the backend's run().
    virtual void open(TEventSink& queue) = 0;
    // One watch, recursive: a drive root or (for the companion) any folder. False when refused;
    // the backend counts the refusal in counters() and explains it in warnings().
    virtual bool addWatch(const std::string& root, const TEventKinds& kinds) = 0;
    // The loop: returns after stop() or when the event source fails.
    virtual void run() = 0;
    // Any thread: makes run() return soon. Safe before run() starts and after it ended.
    virtual void stop() = 0;
    virtual TCaptureCounters counters() const = 0;
    // Why a watch was refused or degraded, one line each, for the user to read.
    virtual std::vector<std::string> warnings() const { return {}; }
};

// Helper: fanotify in filesmonitor-capture, the privileged capture helper (Linux).
// DirChanges: ReadDirectoryChangesW per root, with the shell's notifications for the other kinds.
enum class TBackendKind { Auto, Fanotify, Helper, Inotify, ShellNotify, DirChanges };

// The names a backend of this platform is asked for by (--backend, config.ini), "auto" first.
struct TBackendName {
    const char* name;
    TBackendKind kind;
};
std::vector<TBackendName> backendNames();
// The kind of one of those names, compared without regard to case; none for any other text.
std::optional<TBackendKind> backendKindNamed(std::string_view name);

struct TBackendChoice {
    std::unique_ptr<TCaptureBackend> backend; // null when none could be had
    std::string reason;                       // why this one, or why the wanted one was refused
};

TBackendChoice chooseBackend(TBackendKind wanted);
