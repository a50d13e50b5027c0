// The event queue and its worker: appends from the capture thread, one batch per wake-up,
// filtered, then handed to the user-interface thread in chunks.
#pragma once

#include "events/UntEventSink.h"
#include "events/UntItemObj.h"
#include "pipeline/UntDeliverySink.h"
#include "pipeline/UntEventFilters.h"
#include "pipeline/UntSyncInvoker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// When the worker wakes up. The default wakes once a second, at a steady pace; interrupt() wakes
// it at once.
// Clocks wait on a plain condition variable with a predicate: the stop callbacks of std::jthread
// are released through std::atomic waits, which lose wake-ups in the Windows runtime we build with.
class TBatchClock {
public:
    virtual ~TBatchClock() = default;
    // Blocks until the next wake-up; once interrupted it returns at once, every time.
    virtual void waitTick() = 0;
    // Any thread.
    virtual void interrupt() = 0;
};

class TIntervalClock final : public TBatchClock {
public:
    explicit TIntervalClock(std::chrono::milliseconds interval = std::chrono::milliseconds(1000)) : interval_(interval)
    {
    }
    void waitTick() override;
    void interrupt() override;

private:
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point next_{};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool interrupted_ = false; // guarded by mutex_
};

class TItemsStack final : public TEventSink {
public:
    // invoker and sink must outlive the worker. A null clock means once a second.
    TItemsStack(TSyncInvoker& invoker, TDeliverySink& sink, std::unique_ptr<TBatchClock> clock = nullptr,
                TPathStyle style = kNativePathStyle);
    // Requests termination and waits for the thread: the batch in progress is completed first.
    ~TItemsStack() override;
    TItemsStack(const TItemsStack&) = delete;
    TItemsStack& operator=(const TItemsStack&) = delete;

    // Any thread. Appends after the worker has ended are dropped and counted.
    void addItem(std::string item1, std::string item2, std::int32_t eventNum);
    void addItem(TItemObj item);
    void addItems(std::vector<TItemObj> items) override; // one lock for a whole drained read

    void setPause(bool value) { paused_.store(value); }
    bool getPause() const { return paused_.load(); }

    // Set before start(); they do not change while the worker runs.
    void setAutoExpand(bool value) { autoExpand_ = value; }
    bool getAutoExpand() const { return autoExpand_; }
    void setDirFilters(std::string_view listText) { filters_.setDirFilters(listText); }
    void setExtFilters(std::string_view listText) { filters_.setExtFilters(listText); }
    const TEventFilters& getFilters() const { return filters_; }

    void start();
    // Asks the loop to end; does not wait. Queued, untaken events are discarded.
    void terminate();
    // Asks the loop to deliver everything queued as one last batch, paused or not, and then end;
    // does not wait. Appends after that batch is taken are dropped and counted.
    void finish();
    // Waits for the thread to end (never call it from the user-interface thread while the
    // worker may be waiting for a synchronous step, unless the invoker is closed).
    void wait();
    bool isFinished() const { return finished_.load(); }
    std::uint64_t getDroppedCount() const { return dropped_.load(); }
    // Why delivery ended early (a view step failed); empty otherwise, also after program exit.
    std::string getFailure() const;

    // A chunk hands at most this many events, or this much work, to the user-interface thread.
    static constexpr int kChunkEvents = 512;
    static constexpr std::chrono::milliseconds kChunkTime{8};
    // The chunk's time is read once per this many events.
    static constexpr std::size_t kDeadlineStride = 16;

private:
    enum class TEnding { None, Finish, Terminate };
    // The drained reads of one tick, in the order they came.
    using TBatch = std::vector<std::vector<TItemObj>>;
    struct TSurvivor {
        const TItemObj* item;
        int index; // in the whole batch
    };
    void execute();
    void deliver(TBatch& batch);
    void requestEnding(TEnding ending);

    TSyncInvoker& invoker_;
    TDeliverySink& sink_;
    std::unique_ptr<TBatchClock> clock_;
    TEventFilters filters_;
    bool autoExpand_ = false;
    std::atomic<bool> paused_{false};
    std::atomic<bool> finished_{false};
    std::atomic<TEnding> ending_{TEnding::None};
    std::atomic<std::uint64_t> dropped_{0};

    mutable std::mutex queueMutex_;
    TBatch queued_;         // guarded by queueMutex_
    bool accepting_ = true; // guarded by queueMutex_
    std::string failure_;   // guarded by queueMutex_

    std::vector<TSurvivor> survivors_; // the worker's own: what passes the filters
    std::thread thread_;
};
