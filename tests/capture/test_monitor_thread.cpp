// The monitor thread's start-up, stop and failure paths against a fake backend, and the counts it gives.
#include "monitor/UntShellMonitorThread.h"

#include "test_monitor_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

struct TFakeScript {
    bool throwOnOpen = false;
    std::vector<std::string> refusedRoots;
    int itemsInRun = 0;             // appended when run() begins, named /r/f0, /r/f1...
    std::vector<std::string> names; // or these, when given
    std::vector<std::pair<std::string, TEventKinds>> watches;
    TEventSink* queue = nullptr; // where the backend appends, once opened
};

class TFakeBackend final : public TCaptureBackend {
public:
    TFakeBackend(TCallLog& log, TFakeScript& script) : log_(log), script_(script) {}
    ~TFakeBackend() override { log_.add("backend destroyed"); }
    std::string name() const override { return "fake"; }
    void open(TEventSink& queue) override
    {
        log_.add("backend open");
        if (script_.throwOnOpen)
            throw std::runtime_error("the notification window could not be made");
        queue_ = &queue;
        script_.queue = &queue;
    }
    bool addWatch(const std::string& root, const TEventKinds& kinds) override
    {
        log_.add("backend watch " + root);
        script_.watches.emplace_back(root, kinds);
        const bool refused =
            std::find(script_.refusedRoots.begin(), script_.refusedRoots.end(), root) != script_.refusedRoots.end();
        if (refused)
            ++refusals_;
        return !refused;
    }
    void run() override
    {
        log_.add("backend run");
        std::vector<TItemObj> items;
        for (int i = 0; i < script_.itemsInRun; ++i)
            items.emplace_back("/r/f" + std::to_string(i), "", evCreate);
        for (const std::string& name : script_.names)
            items.emplace_back(name, "", evCreate);
        queue_->addItems(std::move(items));
        log_.add("backend appended");
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stop_; });
        log_.add("backend run end");
    }
    void stop() override
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
    }
    TCaptureCounters counters() const override
    {
        TCaptureCounters result;
        result.refusedRoots = refusals_;
        return result;
    }

private:
    TCallLog& log_;
    TFakeScript& script_;
    TEventSink* queue_ = nullptr;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::uint64_t refusals_ = 0;
};

class MonitorThread : public ::testing::Test {
protected:
    TCallLog log;
    TMarkingInvoker invoker;
    TFakeSettings settings{log};
    TFakeView view{log};
    TCollectingSink sink{&log};
    TFakeScript script;
    std::vector<std::string> roots = {"C:\\", "D:\\", "E:\\"};

    std::unique_ptr<TShellMonitor> makeMonitor(std::chrono::milliseconds interval = std::chrono::hours(1))
    {
        TBackendChoice choice{std::make_unique<TFakeBackend>(log, script), "fake for tests"};
        return std::make_unique<TShellMonitor>(
            invoker, settings, view, sink, std::move(choice), [this] { return roots; }, interval);
    }
};

TEST_F(MonitorThread, WatchesTheRootsAndKindsThatTheRowsLeaveOn)
{
    settings.drives = {{"C:\\", true}, {"d:\\", false}}; // no row for E:\; case is not significant
    settings.events.assign(kEventCount, true);
    settings.events[evCreate] = false;
    settings.events[evRenameFile] = false;
    auto monitor = makeMonitor();
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());

    ASSERT_EQ(script.watches.size(), 2u);
    EXPECT_EQ(script.watches[0].first, "C:\\");
    EXPECT_EQ(script.watches[1].first, "E:\\");
    TEventKinds expected;
    expected.fill(true);
    expected[evCreate] = false;
    expected[evRenameFile] = false;
    EXPECT_EQ(script.watches[0].second, expected);
    EXPECT_EQ(script.watches[1].second, expected);
    EXPECT_EQ(eventNumbersToMask(expected), kFullEventMask & ~0x2u & ~0x1u);
    EXPECT_EQ(monitor->getWatchedRoots(), (std::vector<std::string>{"C:\\", "E:\\"}));

    // The buttons change before anything is watched; every read and change is a step of its own.
    ASSERT_GE(log.indexOf("view recording"), 0);
    EXPECT_LT(log.indexOf("view recording"), log.indexOf("backend watch C:\\"));
    EXPECT_EQ(settings.readsOutsideSteps, 0);
    EXPECT_EQ(view.changesOutsideSteps, 0);
    // start, filters, counts, one per drive row, one per event row
    EXPECT_EQ(invoker.steps(), 1 + 1 + 1 + 2 + kEventCount);

    monitor->stop();
    monitor->wait();
    EXPECT_EQ(invoker.steps(), 1 + 1 + 1 + 2 + kEventCount + 1);
}

TEST_F(MonitorThread, KindsWithoutAnEventRowStayOnAndRootsWithoutADriveRowAreWatched)
{
    settings.events = {false, true, false}; // rows for kinds 0 to 2 only
    auto monitor = makeMonitor();
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    ASSERT_EQ(script.watches.size(), 3u);
    const TEventKinds& kinds = script.watches[0].second;
    EXPECT_FALSE(kinds[evAssociation]);
    EXPECT_TRUE(kinds[evAttributes]);
    EXPECT_FALSE(kinds[evCreate]);
    for (int k = 3; k < kEventCount; ++k)
        EXPECT_TRUE(kinds[k]) << "kind " << k;
}

TEST_F(MonitorThread, EmptyListsLeaveFiltersUnsetAndAutoExpandIsAlwaysRead)
{
    settings.expand = true;
    script.itemsInRun = 1;
    auto monitor = makeMonitor();
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    monitor->stop();
    monitor->wait();
    EXPECT_GE(log.indexOf("settings autoExpand"), 0);
    // Nothing filtered: the one event arrives.
    EXPECT_EQ(sink.items().size(), 1u);
}

TEST_F(MonitorThread, FiltersReachTheWorkerBeforeItRuns)
{
    settings.folders = "/r/x/\r\n";
    settings.extensions = ".txt\r\n";
    script.names = {"/r/a.txt", "/r/b.doc", "/r/x/c.txt", "/r/d.TXT"};
    auto monitor = makeMonitor();
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    monitor->stop();
    monitor->wait();
    const auto items = sink.items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].getItem1(), "/r/a.txt");
    EXPECT_EQ(items[1].getItem1(), "/r/d.TXT");
}

class MonitorThreadStop : public MonitorThread, public ::testing::WithParamInterface<bool> {};

TEST_P(MonitorThreadStop, TakesEverythingDownInOrderAndClearsOnlyWhenAsked)
{
    settings.clean = GetParam();
    script.itemsInRun = 300;
    auto monitor = makeMonitor(); // an hour between ticks: only the stop delivers
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    ASSERT_TRUE(log.waitFor("backend appended"));
    EXPECT_TRUE(monitor->isRunning());
    monitor->stop();
    monitor->wait();
    EXPECT_FALSE(monitor->isRunning());
    EXPECT_EQ(monitor->getState(), TMonitorState::Ended);
    EXPECT_TRUE(monitor->getFailure().empty());

    // The events captured before the stop are delivered, in order, before the views are cleared.
    const auto items = sink.items();
    ASSERT_EQ(items.size(), 300u);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(items[i].getItem1(), "/r/f" + std::to_string(i));
    const int runEnd = log.indexOf("backend run end");
    const int destroyed = log.indexOf("backend destroyed");
    const int lastBatch = log.indexOf("sink batch end");
    const int stopStep = log.indexOf("view idle");
    EXPECT_EQ(log.indexOf("view cleared"), GetParam() ? stopStep - 1 : -1);
    ASSERT_GE(runEnd, 0);
    EXPECT_LT(runEnd, destroyed);
    EXPECT_LT(destroyed, lastBatch);
    EXPECT_LT(lastBatch, stopStep);
    EXPECT_EQ(stopStep, static_cast<int>(log.entries().size()) - 1);
    EXPECT_EQ(view.changesOutsideSteps, 0);
}

INSTANTIATE_TEST_SUITE_P(AutoClean, MonitorThreadStop, ::testing::Bool());

TEST_F(MonitorThread, AStartUpFailureStillRestoresTheButtons)
{
    script.throwOnOpen = true;
    auto monitor = makeMonitor();
    monitor->start();
    EXPECT_FALSE(monitor->waitRecording());
    monitor->wait();
    EXPECT_NE(monitor->getFailure().find("notification window"), std::string::npos);
    EXPECT_LT(log.indexOf("view recording"), log.indexOf("view idle"));
    EXPECT_GE(log.indexOf("backend destroyed"), 0);
    EXPECT_TRUE(script.watches.empty());
}

TEST_F(MonitorThread, NoBackendIsAFailureWithItsReason)
{
    TShellMonitor monitor(invoker, settings, view, sink, TBackendChoice{nullptr, "fanotify refused: nope"},
                          [this] { return roots; });
    monitor.start();
    EXPECT_FALSE(monitor.waitRecording());
    monitor.wait();
    EXPECT_NE(monitor.getFailure().find("fanotify refused: nope"), std::string::npos);
    EXPECT_GE(log.indexOf("view idle"), 0);
}

TEST_F(MonitorThread, RefusedWatchesAreCountedAndTheOthersGoOn)
{
    script.refusedRoots = {"D:\\"};
    auto monitor = makeMonitor();
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    EXPECT_EQ(script.watches.size(), 3u);
    EXPECT_EQ(monitor->counters().refusedRoots, 1u);
    monitor->stop();
    monitor->wait();
    EXPECT_EQ(monitor->counters().refusedRoots, 1u); // kept after the backend is gone
}

// A delivery that fails ends the worker; what is captured afterwards cannot be shown and is lost.
TEST_F(MonitorThread, EventsDroppedAfterAFailedDeliveryAreLostEvents)
{
    class TFailingSink final : public TDeliverySink {
    public:
        void batchStart(int) override
        {
            std::lock_guard lock(mutex);
            failed = true;
            changed.notify_all();
            throw std::runtime_error("the window is gone");
        }
        void treeStep(const TItemObj&) override {}
        void listStep(const TItemObj&) override {}
        void progress(int) override {}
        void batchEnd(bool) override {}
        std::mutex mutex;
        std::condition_variable changed;
        bool failed = false;
    } failing;
    script.itemsInRun = 1;
    TShellMonitor monitor(
        invoker, settings, view, failing, TBackendChoice{std::make_unique<TFakeBackend>(log, script), "fake for tests"},
        [this] { return roots; }, std::chrono::milliseconds(10));
    monitor.start();
    ASSERT_TRUE(monitor.waitRecording());
    {
        std::unique_lock lock(failing.mutex);
        ASSERT_TRUE(failing.changed.wait_for(lock, std::chrono::seconds(30), [&] { return failing.failed; }));
    }
    script.queue->addItems(
        {TItemObj("/r/late1", "", evCreate), TItemObj("/r/late2", "", evCreate), TItemObj("/r/late3", "", evCreate)});
    monitor.stop();
    monitor.wait(); // the worker has ended: whatever it still held is counted
    EXPECT_GE(monitor.counters().droppedEvents, 3u);
    EXPECT_GE(monitor.counters().lostEvents(), 3u);
}

TEST(CaptureCounts, EachCountIsSaidApartAndOnlyWhenItIsNotZero)
{
    TCaptureCounters counts;
    EXPECT_TRUE(captureCountTexts(counts).empty());
    counts.foldersNotWatched = 1;
    EXPECT_EQ(captureCountTexts(counts), std::vector<std::string>{"1 folder not watched"});
    counts.foldersNotWatched = 12;
    counts.overflows = 2;
    counts.unresolvedPaths = 1;
    counts.droppedEvents = 4;
    counts.refusedRoots = 1;
    EXPECT_EQ(captureCountTexts(counts),
              (std::vector<std::string>{"12 folders not watched", "more than 5 events lost", "1 root refused"}));
    EXPECT_EQ(
        captureCountTexts(counts, true),
        (std::vector<std::string>{"12 folders not watched", "5 events lost (1 unnamed path, 4 dropped after a failure)",
                                  "events lost in 2 queue overflows", "1 root refused"}));
    // An overflow loses an unknown number of events: never said as a number of events.
    TCaptureCounters overflowed;
    overflowed.overflows = 1;
    EXPECT_EQ(captureCountTexts(overflowed), std::vector<std::string>{"events lost"});
    EXPECT_EQ(captureCountTexts(overflowed, true), std::vector<std::string>{"events lost in 1 queue overflow"});
    TCaptureCounters more;
    more.undecodedEvents = 1;
    more.refusedRoots = 1;
    counts += more;
    EXPECT_EQ(counts.lostEvents(), 8u);
    EXPECT_EQ(captureCountTexts(counts).back(), "2 roots refused");
}

TEST_F(MonitorThread, ProgramExitDuringStartUpSkipsTheRemainingStepsButCleansUp)
{
    invoker.closeAfter(3); // start, filters, counts; the drive rows are never read
    settings.drives = {{"C:\\", true}};
    auto monitor = makeMonitor();
    monitor->start();
    EXPECT_FALSE(monitor->waitRecording());
    monitor->wait();
    EXPECT_EQ(invoker.steps(), 3);
    EXPECT_EQ(log.indexOf("settings driveRow 0"), -1);
    EXPECT_GE(log.indexOf("backend destroyed"), 0);
    EXPECT_EQ(log.indexOf("view idle"), -1);
}

TEST_F(MonitorThread, PauseDoesNothingBeforeTheWorkerExistsAndStopDeliversWhatItHeld)
{
    script.itemsInRun = 5;
    auto monitor = makeMonitor();
    monitor->setPause(true);
    EXPECT_EQ(log.indexOf("view paused"), -1);

    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    monitor->setPause(true);
    EXPECT_GE(log.indexOf("view paused"), 0);
    ASSERT_TRUE(log.waitFor("backend appended"));
    monitor->stop();
    monitor->wait();
    // Held by the pause when the recording ended: delivered as a stop unpaused delivers, and
    // before the views are put back to idle.
    ASSERT_EQ(sink.items().size(), 5u);
    EXPECT_EQ(sink.items().back().getItem1(), "/r/f4");
    EXPECT_LT(log.indexOf("sink batch end"), log.indexOf("view idle"));
    const auto shown = log.entries().size();
    monitor->setPause(false);
    EXPECT_EQ(log.entries().size(), shown);
}

TEST_F(MonitorThread, ResumedDeliveriesArriveOnTheNextTick)
{
    script.itemsInRun = 4;
    auto monitor = makeMonitor(std::chrono::milliseconds(10));
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    monitor->setPause(true);
    monitor->setPause(false);
    const auto entries = log.entries();
    const auto paused = std::find(entries.begin(), entries.end(), "view paused");
    ASSERT_NE(paused, entries.end());
    EXPECT_NE(std::find(paused, entries.end(), "view recording"), entries.end()); // resumed
    EXPECT_TRUE(sink.waitUntil([](const auto& items) { return items.size() == 4; }));
    monitor->stop();
}

TEST_F(MonitorThread, AFailedDeliveryMarksTheRecordingFailedWhileCaptureGoesOn)
{
    script.itemsInRun = 3;
    sink.failOn = "/r/f1";
    auto monitor = makeMonitor(std::chrono::milliseconds(10));
    monitor->start();
    ASSERT_TRUE(monitor->waitRecording());
    ASSERT_TRUE(log.waitFor("sink batch end"));
    // The failure is readable while recording, not only once it has ended.
    const auto failed = [&] { return !monitor->getFailure().empty(); };
    for (int i = 0; i < 2000 && !failed(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(monitor->getFailure(), "delivery failed: view step failed");
    EXPECT_TRUE(monitor->isRunning());
    ASSERT_EQ(sink.items().size(), 1u);
    monitor->stop();
    monitor->wait();
    EXPECT_EQ(monitor->getFailure(), "delivery failed: view step failed");
    EXPECT_GE(log.indexOf("view idle"), 0);
}

TEST_F(MonitorThread, StopBeforeStartEndsAtOnceAndDestructionJoins)
{
    auto monitor = makeMonitor();
    monitor->stop();
    monitor->start();
    EXPECT_FALSE(monitor->waitRecording());
    monitor.reset();
    EXPECT_GE(log.indexOf("view idle"), 0);
    EXPECT_EQ(log.indexOf("backend run"), -1);
}

} // namespace
