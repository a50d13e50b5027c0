#include "TestClock.h"
#include "events/UntEvents.h"
#include "pipeline/UntItemsStackThread.h"
#include "tests/TestDeadline.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Records every delivery step as text, in order.
class TRecordingSink : public TDeliverySink {
public:
    std::vector<std::string> log;
    std::function<void(const TItemObj&)> onList; // runs inside the list step

    void batchStart(int count) override { log.push_back("start " + std::to_string(count)); }
    void treeStep(const TItemObj& item) override { log.push_back("tree " + item.getItem1()); }
    void listStep(const TItemObj& item) override
    {
        log.push_back("list " + item.getItem1());
        if (onList)
            onList(item);
    }
    void progress(int position) override { log.push_back("pos " + std::to_string(position)); }
    void batchEnd(bool autoExpand) override { log.push_back(std::string("end ") + (autoExpand ? "expand" : "flat")); }
};

// Counts hand-offs to the "user-interface thread".
class TCountingInvoker : public TSyncInvoker {
public:
    int calls = 0;
    void synchronize(const std::function<void()>& step) override
    {
        ++calls;
        inner.synchronize(step);
    }
    TDirectInvoker inner;
};

struct Worker {
    TCountingInvoker invoker;
    TRecordingSink sink;
    TManualClock* clock = nullptr;
    std::unique_ptr<TItemsStack> stack;

    Worker()
    {
        auto owned = std::make_unique<TManualClock>();
        clock = owned.get();
        stack = std::make_unique<TItemsStack>(invoker, sink, std::move(owned), TPathStyle::Windows);
    }
};

TEST(ItemsStack, EmptyQueueRunsNoStep)
{
    Worker w;
    w.stack->start();
    ASSERT_TRUE(w.clock->step());
    ASSERT_TRUE(w.clock->step());
    EXPECT_TRUE(w.sink.log.empty());
    EXPECT_EQ(w.invoker.calls, 0);
}

TEST(ItemsStack, PausedEventsArriveAsOneBatchInOrderOnResume)
{
    Worker w;
    w.stack->setAutoExpand(true);
    w.stack->start();
    w.stack->setPause(true);
    for (int i = 0; i < 500; ++i)
        w.stack->addItem("C:\\f" + std::to_string(i), "", i % 2 ? evAttributes : evCreate);
    ASSERT_TRUE(w.clock->step());
    ASSERT_TRUE(w.clock->step());
    EXPECT_TRUE(w.sink.log.empty());

    w.stack->setPause(false);
    ASSERT_TRUE(w.clock->step());
    std::vector<std::string> expected{"start 500"};
    for (int i = 0; i < 500; ++i) {
        const std::string path = "C:\\f" + std::to_string(i);
        if (i % 2 == 0)
            expected.push_back("tree " + path); // Create is a tree event, Attributes is not
        expected.push_back("list " + path);
        expected.push_back("pos " + std::to_string(i));
    }
    expected.push_back("end expand");
    EXPECT_EQ(w.sink.log, expected);
    // Handed over in chunks, not one hand-off per event.
    EXPECT_LT(w.invoker.calls, 50);
}

TEST(ItemsStack, FilteredEventsAreSkippedAndProgressKeepsBatchIndexes)
{
    Worker w;
    w.stack->setDirFilters("C:\\Temp\\\r\n");
    w.stack->setExtFilters(".txt\r\n");
    w.stack->addItem("C:\\Temp\\a.txt", "", evCreate);
    w.stack->addItem("C:\\Docs\\b.doc", "", evCreate);
    w.stack->addItem("C:\\Docs\\c.txt", "", evUpdateFile);
    w.stack->addItem("C:\\Docs", "", evAttributes);
    w.stack->start();
    ASSERT_TRUE(w.clock->step());
    EXPECT_EQ(w.sink.log, (std::vector<std::string>{"start 4", "tree C:\\Docs\\c.txt", "list C:\\Docs\\c.txt", "pos 2",
                                                    "list C:\\Docs", "pos 3", "end flat"}));
}

TEST(ItemsStack, StopDuringABatchCompletesItAndDropsWhatFollows)
{
    Worker w;
    for (int i = 0; i < 10; ++i)
        w.stack->addItem("C:\\a" + std::to_string(i), "", evAttributes);
    bool once = false;
    w.sink.onList = [&](const TItemObj&) {
        if (once)
            return;
        once = true;
        w.stack->addItem("C:\\late", "", evAttributes);
        w.stack->terminate();
    };
    w.stack->start();
    w.clock->release();
    w.stack->wait();
    ASSERT_EQ(w.sink.log.size(), 1u + 10 * 2 + 1);
    EXPECT_EQ(w.sink.log.back(), "end flat");
    EXPECT_TRUE(w.stack->isFinished());
    EXPECT_EQ(w.stack->getDroppedCount(), 1u);
}

TEST(ItemsStack, FailingStepEndsTheWorkerAfterBatchEndAndLaterAppendsAreHarmless)
{
    Worker w;
    for (int i = 0; i < 5; ++i)
        w.stack->addItem("C:\\a" + std::to_string(i), "", evAttributes);
    w.sink.onList = [](const TItemObj& item) {
        if (item.getItem1() == "C:\\a2")
            throw std::runtime_error("view failed");
    };
    w.stack->start();
    w.clock->release();
    w.stack->wait();
    EXPECT_EQ(w.sink.log, (std::vector<std::string>{"start 5", "list C:\\a0", "pos 0", "list C:\\a1", "pos 1",
                                                    "list C:\\a2", "end flat"}));
    EXPECT_TRUE(w.stack->isFinished());
    EXPECT_EQ(w.stack->getFailure(), "delivery failed: view failed");
    w.stack->addItem("C:\\after", "", evCreate);
    w.stack->addItems({TItemObj("C:\\x", "", evCreate), TItemObj("C:\\y", "", evCreate)});
    EXPECT_EQ(w.stack->getDroppedCount(), 3u);
}

TEST(ItemsStack, ClosedInvokerEndsTheWorkerWithoutDelivering)
{
    Worker w;
    w.invoker.inner.close();
    w.stack->addItem("C:\\a", "", evCreate);
    w.stack->start();
    w.clock->release();
    w.stack->wait();
    EXPECT_TRUE(w.sink.log.empty());
    EXPECT_TRUE(w.stack->isFinished());
    EXPECT_EQ(w.stack->getFailure(), ""); // program exit is no failure of the recording
}

TEST(ItemsStack, FinishDeliversWhatIsHeldEvenWhilePausedThenEnds)
{
    Worker w;
    w.stack->start();
    w.stack->setPause(true);
    w.stack->addItem("C:\\a", "", evCreate);
    w.stack->addItem("C:\\b", "", evAttributes);
    ASSERT_TRUE(w.clock->step());
    EXPECT_TRUE(w.sink.log.empty());
    w.stack->finish();
    w.stack->wait();
    EXPECT_EQ(w.sink.log, (std::vector<std::string>{"start 2", "tree C:\\a", "list C:\\a", "pos 0", "list C:\\b",
                                                    "pos 1", "end flat"}));
    w.stack->addItem("C:\\late", "", evCreate);
    EXPECT_EQ(w.stack->getDroppedCount(), 1u);
    EXPECT_EQ(w.stack->getFailure(), "");
}

TEST(ItemsStack, TerminateAfterFinishStillDropsTheQueue)
{
    Worker w;
    w.stack->addItem("C:\\a", "", evCreate);
    w.stack->finish();
    w.stack->terminate();
    w.stack->start();
    w.stack->wait();
    EXPECT_TRUE(w.sink.log.empty());
    EXPECT_EQ(w.stack->getDroppedCount(), 1u);
}

// A stop asked for from another thread while the worker waits must always wake it. Under Wine a
// stop delivered through a std::jthread stop callback was lost now and then, and the join hung.
TEST(ItemsStackThreads, StopWhileWaitingAlwaysEndsTheWorker)
{
    runWithin(std::chrono::seconds(60), "stopping a waiting worker 2000 times", [] {
        TDirectInvoker invoker;
        class TNoSink : public TDeliverySink {
        public:
            void batchStart(int) override {}
            void treeStep(const TItemObj&) override {}
            void listStep(const TItemObj&) override {}
            void progress(int) override {}
            void batchEnd(bool) override {}
        } sink;
        for (int round = 0; round < 1000; ++round) {
            Worker w;
            w.stack->start();
            ASSERT_TRUE(w.clock->awaitWaiting()) << "round " << round;
            w.stack->terminate();
            w.stack->wait();
            ASSERT_TRUE(w.stack->isFinished()) << "round " << round;

            // The production clock, stopped at whatever point the worker has reached.
            TItemsStack stack(invoker, sink, std::make_unique<TIntervalClock>(std::chrono::hours(1)));
            stack.start();
            if (round % 2)
                std::this_thread::yield();
            stack.terminate();
            stack.wait();
            ASSERT_TRUE(stack.isFinished()) << "round " << round;
        }
    });
}

TEST(ItemsStack, DestructionWithoutStartReturnsAndDiscardsTheQueue)
{
    TCountingInvoker invoker;
    TRecordingSink sink;
    {
        TItemsStack idle(invoker, sink, std::make_unique<TManualClock>());
        idle.addItem("C:\\a", "", evCreate);
    }
    EXPECT_TRUE(sink.log.empty());
    EXPECT_EQ(invoker.calls, 0);
}

// Many producers against the take-all: nothing lost, each producer's order kept.
TEST(ItemsStackThreads, ConcurrentAppendsAreNeverLost)
{
    constexpr int kProducers = 4;
    constexpr int kPerProducer = 20000;
    TDirectInvoker invoker;
    std::mutex seenMutex;
    std::condition_variable seenChanged;
    std::vector<std::vector<int>> seen(kProducers);
    int total = 0;

    class TCollect : public TDeliverySink {
    public:
        std::function<void(const TItemObj&)> onItem;
        void batchStart(int) override {}
        void treeStep(const TItemObj&) override {}
        void listStep(const TItemObj& item) override { onItem(item); }
        void progress(int) override {}
        void batchEnd(bool) override {}
    } sink;
    sink.onItem = [&](const TItemObj& item) {
        std::lock_guard lock(seenMutex);
        seen[item.getItem2()[0] - 'a'].push_back(std::stoi(item.getItem1()));
        ++total;
        seenChanged.notify_all();
    };

    TItemsStack stack(invoker, sink, std::make_unique<TIntervalClock>(std::chrono::milliseconds(1)));
    stack.start();
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            std::vector<TItemObj> burst;
            for (int i = 0; i < kPerProducer; ++i) {
                TItemObj item(std::to_string(i), std::string(1, char('a' + p)), evAttributes);
                if (i % 3 == 0) { // single appends between bursts, keeping the producer's order
                    stack.addItems(std::exchange(burst, {}));
                    stack.addItem(std::move(item));
                    continue;
                }
                burst.push_back(std::move(item));
                if (burst.size() == 64)
                    stack.addItems(std::exchange(burst, {}));
            }
            stack.addItems(std::move(burst));
        });
    for (auto& t : producers)
        t.join();

    std::unique_lock lock(seenMutex);
    ASSERT_TRUE(
        seenChanged.wait_for(lock, std::chrono::seconds(60), [&] { return total == kProducers * kPerProducer; }))
        << "delivered " << total;
    lock.unlock();
    stack.terminate();
    stack.wait();
    std::lock_guard check(seenMutex);
    for (const auto& one : seen) {
        ASSERT_EQ(one.size(), static_cast<std::size_t>(kPerProducer));
        EXPECT_TRUE(std::is_sorted(one.begin(), one.end()));
    }
}

} // namespace
