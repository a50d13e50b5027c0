// A batch clock the test drives by hand: each step releases one wake-up and returns once the
// worker has finished handling it, so tests never sleep.
#pragma once

#include "pipeline/UntItemsStackThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

class TManualClock final : public TBatchClock {
public:
    void waitTick() override
    {
        std::unique_lock lock(mutex_);
        ++entries_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return ticks_ > 0 || interrupted_; });
        if (interrupted_)
            return;
        --ticks_;
        consumedAtEntry_ = entries_;
        changed_.notify_all();
    }

    void interrupt() override
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        changed_.notify_all();
    }

    // Releases one wake-up and waits until the worker is back waiting for the next one; false
    // when it is not back within the limit (it ended, or hangs).
    [[nodiscard]] bool step(std::chrono::seconds limit = std::chrono::seconds(20))
    {
        std::unique_lock lock(mutex_);
        ++ticks_;
        changed_.notify_all();
        return changed_.wait_for(lock, limit, [&] { return ticks_ == 0 && entries_ > consumedAtEntry_; });
    }

    // Releases one wake-up without waiting (for a worker that is expected to end).
    void release()
    {
        std::lock_guard lock(mutex_);
        ++ticks_;
        changed_.notify_all();
    }

    // Waits until the worker is waiting for a wake-up; false when it does not within the limit.
    [[nodiscard]] bool awaitWaiting(std::chrono::seconds limit = std::chrono::seconds(20))
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return entries_ > consumedAtEntry_ && ticks_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int ticks_ = 0;
    long entries_ = 0;
    long consumedAtEntry_ = 0;
    bool interrupted_ = false;
};
