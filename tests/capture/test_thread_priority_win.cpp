// On Windows the monitor thread and the queue worker run at THREAD_PRIORITY_HIGHEST.
#include <windows.h>

#include "monitor/UntShellMonitorThread.h"

#include "test_monitor_support.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

int currentPriority()
{
    return GetThreadPriority(GetCurrentThread());
}

// Notes the priority of the thread that runs it, then hands one event to the worker. The monitor
// destroys it when the recording ends, so the note is kept by the test.
class TPriorityBackend final : public TCaptureBackend {
public:
    explicit TPriorityBackend(std::atomic<int>& runPriority) : runPriority_(runPriority) {}

    std::string name() const override { return "priority"; }
    void open(TEventSink& queue) override { queue_ = &queue; }
    bool addWatch(const std::string&, const TEventKinds&) override { return true; }
    void run() override
    {
        runPriority_ = currentPriority();
        queue_->addItems({TItemObj("C:\\a.txt", "", evCreate)});
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stop_; });
    }
    void stop() override
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
    }
    TCaptureCounters counters() const override { return {}; }

private:
    std::atomic<int>& runPriority_;
    TEventSink* queue_ = nullptr;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
};

// The marking invoker runs each step on the thread that asks for it: the worker, for deliveries.
class TPrioritySink final : public TDeliverySink {
public:
    std::atomic<int> deliveryPriority{THREAD_PRIORITY_ERROR_RETURN};
    void batchStart(int) override { deliveryPriority = currentPriority(); }
    void treeStep(const TItemObj&) override {}
    void listStep(const TItemObj&) override {}
    void progress(int) override {}
    void batchEnd(bool) override { log.add("delivered"); }
    TCallLog log;
};

TEST(ThreadPriority, MonitorAndWorkerRunAtHighestWhileTheCallerKeepsItsOwn)
{
    TCallLog log;
    TMarkingInvoker invoker;
    TFakeSettings settings{log};
    TFakeView view{log};
    TPrioritySink sink;
    std::atomic<int> runPriority{THREAD_PRIORITY_ERROR_RETURN};
    auto backend = std::make_unique<TPriorityBackend>(runPriority);
    const int callerBefore = currentPriority();
    {
        TShellMonitor monitor(
            invoker, settings, view, sink, TBackendChoice{std::move(backend), "for the test"},
            [] { return std::vector<std::string>{"C:\\"}; }, std::chrono::milliseconds(10));
        monitor.start();
        ASSERT_TRUE(sink.log.waitFor("delivered"));
        monitor.stop();
        monitor.wait();
    }
    EXPECT_EQ(runPriority, THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(sink.deliveryPriority, THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(currentPriority(), callerBefore) << "only the threads that record are raised";
}

} // namespace
