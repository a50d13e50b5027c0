// A recording of one temporary folder by a chosen backend, for the capture tests. The workloads
// run in child processes.
#pragma once

#include "events/UntEventSink.h"
#include "monitor/UntShellMonitorThread.h"

#include "test_capture_support_linux.h"
#include "test_monitor_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using TSeen = std::tuple<int, std::string, std::string>; // event, path, new path

// A backend alone, served by the test: what it hands over is kept here, with whole paths.
class TItemsSink final : public TEventSink {
public:
    void addItems(std::vector<TItemObj> items) override
    {
        for (TItemObj& item : items)
            items_.emplace_back(item.getEventNum(), item.getItem1(), item.getItem2());
    }
    std::vector<TSeen> items_;
};

// inotify, when an entry was made and removed inside a new folder before the folder had a watch
// and before its scan: nothing can see it, and everything else keeps its place.
inline std::vector<TSeen> without(std::vector<TSeen> seen, const std::string& path)
{
    std::erase_if(seen, [&](const TSeen& event) { return std::get<1>(event) == path; });
    return seen;
}

// inotify, when a new folder's content came before its watch and the folder's scan ran once its
// rename had been read: what the scan found goes after the rename, under the new name.
inline std::vector<TSeen> scannedAfterRename(const std::vector<TSeen>& expected, const std::string& from,
                                             const std::string& to)
{
    std::vector<TSeen> before;
    std::vector<TSeen> found;
    std::size_t i = 0;
    for (; i < expected.size() && std::get<1>(expected[i]) != from; ++i)
        before.push_back(expected[i]);
    if (i < expected.size())
        before.push_back(expected[i++]); // the folder's own create
    for (; i < expected.size() && std::get<1>(expected[i]).rfind(from + "/", 0) == 0; ++i)
        found.emplace_back(std::get<0>(expected[i]), to + std::get<1>(expected[i]).substr(from.size()), "");
    if (i < expected.size())
        before.push_back(expected[i++]); // the rename
    before.insert(before.end(), found.begin(), found.end());
    before.insert(before.end(), expected.begin() + static_cast<std::ptrdiff_t>(i), expected.end());
    return before;
}

inline const char* backendKindName(TBackendKind kind)
{
    switch (kind) {
    case TBackendKind::Inotify:
        return "inotify";
    case TBackendKind::Fanotify:
        return "fanotify";
    case TBackendKind::Helper:
        return "helper";
    default:
        return "auto";
    }
}

class TCaptureFixture {
protected:
    TCallLog log;
    TMarkingInvoker invoker;
    TFakeSettings settings{log};
    TFakeView view{log};
    TCollectingSink sink;
    TTempFolder folder;
    std::string root = folder.path(); // what is recorded: the folder, or a folder inside it
    std::unique_ptr<TShellMonitor> monitor;

    // Starts recording the root; a reason to skip when the backend or its watch was refused.
    // Drive events come from mounts anywhere on the system (other tests mount images meanwhile):
    // only the cases about drives ask for them.
    std::string startRecording(TBackendChoice choice, bool driveEvents = false)
    {
        if (!choice.backend)
            return choice.reason;
        settings.events.assign(kEventCount, true);
        if (!driveEvents)
            for (int kind :
                 {evDriveAdd, evDriveAddGui, evDriveRemoved, evMediaInserted, evMediaRemoved, evNetShare, evNetUnshare})
                settings.events[kind] = false;
        monitor = std::make_unique<TShellMonitor>(
            invoker, settings, view, sink, std::move(choice), [this] { return std::vector<std::string>{root}; },
            std::chrono::milliseconds(50));
        monitor->start();
        if (!monitor->waitRecording())
            return "recording failed: " + monitor->getFailure();
        return {};
    }
    void stopRecording()
    {
        if (monitor) {
            monitor->stop();
            monitor->wait();
        }
    }

    // Runs the workload, stops (everything queued before the stop is delivered), returns what
    // was seen, with paths inside the folder made relative to it.
    std::vector<TSeen> record(const std::string& script)
    {
        const TShellRun run = runShell(folder.path(), script);
        EXPECT_TRUE(run.succeeded()) << script;
        return stopAndCollect();
    }
    std::vector<TSeen> stopAndCollect()
    {
        stopRecording();
        return seenSoFar();
    }
    std::vector<TSeen> seenSoFar()
    {
        std::vector<TSeen> seen;
        for (const TItemObj& item : sink.items())
            seen.emplace_back(item.getEventNum(), relative(item.getItem1()), relative(item.getItem2()));
        return seen;
    }
    std::string relative(const std::string& path) const
    {
        const std::string prefix = folder.path() + "/";
        return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
    }
    void expectNothingLost()
    {
        const TCaptureCounters counters = monitor->counters();
        EXPECT_EQ(counters.overflows, 0u);
        EXPECT_EQ(counters.refusedRoots, 0u);
        EXPECT_EQ(counters.foldersNotWatched, 0u);
        EXPECT_EQ(counters.unresolvedPaths, 0u);
    }
};
