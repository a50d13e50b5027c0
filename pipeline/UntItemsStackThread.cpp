#include "pipeline/UntItemsStackThread.h"

#include "util/UntThreadPriority.h"

#include <exception>

bool TIntervalClock::waitTick(std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, stop, interval_, [] { return false; });
    return !stop.stop_requested();
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
    itemList_.push_back(std::move(item));
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
    if (itemList_.empty())
        itemList_ = std::move(items);
    else
        itemList_.insert(itemList_.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
}

void TItemsStack::start()
{
    if (!thread_.joinable() && !finished_.load())
        thread_ = std::jthread([this](std::stop_token stop) { execute(stop); });
}

void TItemsStack::terminate()
{
    thread_.request_stop();
}

void TItemsStack::wait()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void TItemsStack::execute(std::stop_token stop)
{
    raiseThreadPriority();
    try {
        while (!stop.stop_requested()) {
            if (!clock_->waitTick(stop))
                break;
            if (paused_.load())
                continue;
            std::vector<TItemObj> batch;
            {
                std::lock_guard lock(queueMutex_);
                if (itemList_.empty())
                    continue;
                if (stop.stop_requested())
                    break; // queued events are not delivered once stop is asked for
                batch.swap(itemList_);
            }
            deliver(batch); // a batch once taken is delivered to its end
        }
    } catch (...) {
        // A failed delivery ends the loop; later appends are dropped below.
    }
    {
        std::lock_guard lock(queueMutex_);
        accepting_ = false;
        dropped_.fetch_add(itemList_.size());
        itemList_.clear();
    }
    finished_.store(true);
}

void TItemsStack::deliver(std::vector<TItemObj>& batch)
{
    const int count = static_cast<int>(batch.size());

    // Filtering needs no window: do it here, so the user-interface thread only adds entries.
    std::vector<int> survivors;
    survivors.reserve(batch.size());
    for (int i = 0; i < count; ++i)
        if (filters_.passes(batch[i]))
            survivors.push_back(i);

    std::exception_ptr failure;
    try {
        invoker_.synchronize([&] { sink_.batchStart(count); });
        std::size_t next = 0;
        while (next < survivors.size()) {
            invoker_.synchronize([&] {
                const auto deadline = std::chrono::steady_clock::now() + kChunkTime;
                const std::size_t end = std::min(survivors.size(), next + kChunkEvents);
                while (next < end) {
                    const int i = survivors[next];
                    const TItemObj& item = batch[i];
                    if (isTreeEvent(item.getEventNum()))
                        sink_.treeStep(item);
                    sink_.listStep(item);
                    sink_.progress(i);
                    ++next;
                    if (std::chrono::steady_clock::now() >= deadline)
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
    if (failure)
        std::rethrow_exception(failure);
}
