#include "capture/UntCaptureBackend.h"

namespace {

std::string counted(std::uint64_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

TCaptureCounters& TCaptureCounters::operator+=(const TCaptureCounters& more)
{
    overflows += more.overflows;
    unresolvedPaths += more.unresolvedPaths;
    undecodedEvents += more.undecodedEvents;
    droppedEvents += more.droppedEvents;
    foldersNotWatched += more.foldersNotWatched;
    refusedRoots += more.refusedRoots;
    mergedPairs += more.mergedPairs;
    return *this;
}

std::vector<std::string> captureCountTexts(const TCaptureCounters& counters, bool details)
{
    std::vector<std::string> texts;
    if (counters.foldersNotWatched)
        texts.push_back(counted(counters.foldersNotWatched, "folder not watched", "folders not watched"));
    // An overflow loses an unknown number of events: never said as a number of events.
    const std::uint64_t known = counters.lostEvents() - counters.overflows;
    if (!details && (known || counters.overflows)) {
        texts.push_back(!counters.overflows ? counted(known, "event lost", "events lost")
                        : known             ? "more than " + counted(known, "event lost", "events lost")
                                            : std::string("events lost"));
    } else if (details) {
        if (known) {
            std::string why;
            const auto add = [&](std::uint64_t count, const char* one, const char* many) {
                if (count)
                    why += (why.empty() ? "" : ", ") + counted(count, one, many);
            };
            add(counters.unresolvedPaths, "unnamed path", "unnamed paths");
            add(counters.undecodedEvents, "notification not understood", "notifications not understood");
            add(counters.droppedEvents, "dropped after a failure", "dropped after a failure");
            texts.push_back(counted(known, "event lost", "events lost") + " (" + why + ")");
        }
        if (counters.overflows)
            texts.push_back("events lost in " + counted(counters.overflows, "queue overflow", "queue overflows"));
    }
    if (counters.refusedRoots)
        texts.push_back(counted(counters.refusedRoots, "root refused", "roots refused"));
    return texts;
}
