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
#include <stop_token>
#include <thread>
#include <vector>

// When the worker wakes up. The default wakes once a second; stop wakes it at once.
class TBatchClock {
public:
    virtual ~TBatchClock() = default;
    // Blocks until the next wake-up; false when stop was requested meanwhile.
    virtual bool waitTick(std::stop_token stop) = 0;
};

class TIntervalClock final : public TBatchClock {
public:
    explicit TIntervalClock(std::chrono::milliseconds interval = std::chrono::milliseconds(1000)) : interval_(interval)
    {
    }
    bool waitTick(std::stop_token stop) override;

private:
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
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
    // Waits for the thread to end (never call it from the user-interface thread while the
    // worker may be waiting for a synchronous step, unless the invoker is closed).
    void wait();
    bool isFinished() const { return finished_.load(); }
    std::uint64_t getDroppedCount() const { return dropped_.load(); }

    // A chunk hands at most this many events, or this much work, to the user-interface thread.
    static constexpr int kChunkEvents = 512;
    static constexpr std::chrono::milliseconds kChunkTime{8};

private:
    void execute(std::stop_token stop);
    void deliver(std::vector<TItemObj>& batch);

    TSyncInvoker& invoker_;
    TDeliverySink& sink_;
    std::unique_ptr<TBatchClock> clock_;
    TEventFilters filters_;
    bool autoExpand_ = false;
    std::atomic<bool> paused_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::uint64_t> dropped_{0};

    std::mutex queueMutex_;
    std::vector<TItemObj> itemList_; // guarded by queueMutex_
    bool accepting_ = true;          // guarded by queueMutex_

    std::jthread thread_;
};
