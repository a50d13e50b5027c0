#include "pipeline/UntItemsStackThread.h"

#include "util/UntThreadPriority.h"

#include <algorithm>
#include <exception>

void TIntervalClock::waitTick()
{
    std::unique_lock lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (next_ == std::chrono::steady_clock::time_point{})
        next_ = now + interval_;
    wake_.wait_until(lock, next_, [this] { return interrupted_; });
    // Ticks keep their pace whatever a delivery took; one that ran past a tick is followed by the
    // next batch at once, so a busy second is never spent waiting.
    next_ = std::max(next_ + interval_, std::chrono::steady_clock::now());
}

void TIntervalClock::interrupt()
{
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

TItemsStack::TItemsStack(TSyncInvoker& invoker, TDeliverySink& sink, std::unique_ptr<TBatchClock> clock,
                         TPathStyle style)
    : invoker_(invoker), sink_(sink), clock_(clock ? std::move(clock) : std::make_unique<TIntervalClock>()),
      filters_(style)
{
}

TItemsStack::~TItemsStack()
{
    terminate();
    wait();
}

void TItemsStack::addItem(std::string item1, std::string item2, std::int32_t eventNum)
{
    addItem(TItemObj(std::move(item1), std::move(item2), eventNum, {std::chrono::system_clock::now(), 0, {}}));
}

void TItemsStack::addItem(TItemObj item)
{
    std::lock_guard lock(queueMutex_);
    if (!accepting_) {
        dropped_.fetch_add(1);
        return;
    }
    if (queued_.empty())
        queued_.emplace_back();
    queued_.back().push_back(std::move(item));
}

void TItemsStack::addItems(std::vector<TItemObj> items)
{
    if (items.empty())
        return;
    std::lock_guard lock(queueMutex_);
    if (!accepting_) {
        dropped_.fetch_add(items.size());
        return;
    }
    // Each drained read stays the vector it came in: the capture thread never moves a queued
    // event again, nor grows one vector of a busy second's tens of megabytes.
    queued_.push_back(std::move(items));
}

void TItemsStack::start()
{
    if (!thread_.joinable() && !finished_.load())
        thread_ = std::thread([this] { execute(); });
}

void TItemsStack::terminate()
{
    requestEnding(TEnding::Terminate);
}

void TItemsStack::finish()
{
    requestEnding(TEnding::Finish);
}

void TItemsStack::requestEnding(TEnding ending)
{
    // Terminate overrides a finish not yet acted on; a finish never weakens a terminate.
    TEnding current = ending_.load();
    while (current < ending && !ending_.compare_exchange_weak(current, ending)) {
    }
    clock_->interrupt();
}

std::string TItemsStack::getFailure() const
{
    std::lock_guard lock(queueMutex_);
    return failure_;
}

void TItemsStack::wait()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void TItemsStack::execute()
{
    raiseThreadPriority();
    std::string failure;
    TBatch batch;
    try {
        for (;;) {
            clock_->waitTick();
            const bool last = ending_.load() == TEnding::Finish;
            if (ending_.load() == TEnding::Terminate)
                break;
            if (paused_.load() && !last)
                continue;
            {
                std::lock_guard lock(queueMutex_);
                if (ending_.load() == TEnding::Terminate)
                    break; // queued events are not delivered once stop is asked for
                batch.swap(queued_);
            }
            if (!batch.empty())
                deliver(batch); // a batch once taken is delivered to its end
            if (last)
                break;
        }
    } catch (const TSyncClosed&) {
        // Program exit: nothing is shown any more, which is no failure of the recording.
    } catch (const std::exception& error) {
        failure = std::string("delivery failed: ") + error.what();
    } catch (...) {
        failure = "delivery failed";
    }
    {
        // Later appends are dropped and counted.
        std::lock_guard lock(queueMutex_);
        failure_ = std::move(failure);
        accepting_ = false;
        for (const std::vector<TItemObj>& items : queued_)
            dropped_.fetch_add(items.size());
        queued_.clear();
    }
    finished_.store(true);
}

void TItemsStack::deliver(TBatch& batch)
{
    // Filtering needs no window: do it here, so the user-interface thread only adds entries.
    std::vector<TSurvivor>& survivors = survivors_;
    survivors.clear();
    int count = 0;
    for (const std::vector<TItemObj>& items : batch)
        for (const TItemObj& item : items) {
            if (filters_.passes(item))
                survivors.push_back({&item, count});
            ++count;
        }

    std::exception_ptr failure;
    try {
        invoker_.synchronize([&] { sink_.batchStart(count); });
        std::size_t next = 0;
        std::size_t prepared = 0;
        while (next < survivors.size()) {
            for (const std::size_t end = std::min(survivors.size(), next + kChunkEvents); prepared < end; ++prepared)
                sink_.prepare(*survivors[prepared].item);
            invoker_.synchronize([&] {
                const auto deadline = std::chrono::steady_clock::now() + kChunkTime;
                const std::size_t end = std::min(survivors.size(), next + kChunkEvents);
                while (next < end) {
                    const TItemObj& item = *survivors[next].item;
                    if (isTreeEvent(item.getEventNum()))
                        sink_.treeStep(item);
                    sink_.listStep(item);
                    sink_.progress(survivors[next].index);
                    ++next;
                    if (next % kDeadlineStride == 0 && std::chrono::steady_clock::now() >= deadline)
                        break;
                }
            });
        }
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        invoker_.synchronize([&] { sink_.batchEnd(autoExpand_); });
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    batch.clear();
    // Room for a busy second is kept; after a quiet one it is given back.
    if (survivors.size() < survivors.capacity() / 4)
        std::vector<TSurvivor>().swap(survivors);
    if (failure)
        std::rethrow_exception(failure);
}
