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
    if (const std::uint64_t lost = counters.lostEvents()) {
        std::string text = counted(lost, "event lost", "events lost");
        if (details) {
            std::string why;
            const auto add = [&](std::uint64_t count, const char* one, const char* many) {
                if (count)
                    why += (why.empty() ? "" : ", ") + counted(count, one, many);
            };
            add(counters.overflows, "queue overflow", "queue overflows");
            add(counters.unresolvedPaths, "unnamed path", "unnamed paths");
            add(counters.undecodedEvents, "notification not understood", "notifications not understood");
            add(counters.droppedEvents, "dropped after a failure", "dropped after a failure");
            text += " (" + why + ")";
        }
        texts.push_back(std::move(text));
    }
    if (counters.refusedRoots)
        texts.push_back(counted(counters.refusedRoots, "root refused", "roots refused"));
    return texts;
}
