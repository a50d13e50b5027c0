// A batch clock the test drives by hand: each step releases one wake-up and returns once the
// worker has finished handling it, so tests never sleep.
#pragma once

#include "pipeline/UntItemsStackThread.h"

#include <condition_variable>
#include <mutex>

class TManualClock final : public TBatchClock {
public:
    bool waitTick(std::stop_token stop) override
    {
        std::unique_lock lock(mutex_);
        ++entries_;
        changed_.notify_all();
        changed_.wait(lock, stop, [&] { return ticks_ > 0; });
        if (stop.stop_requested())
            return false;
        --ticks_;
        consumedAtEntry_ = entries_;
        changed_.notify_all();
        return true;
    }

    // Releases one wake-up and waits until the worker is back waiting for the next one.
    void step()
    {
        std::unique_lock lock(mutex_);
        ++ticks_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return ticks_ == 0 && entries_ > consumedAtEntry_; });
    }

    // Releases one wake-up without waiting (for a worker that is expected to end).
    void release()
    {
        std::lock_guard lock(mutex_);
        ++ticks_;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    int ticks_ = 0;
    long entries_ = 0;
    long consumedAtEntry_ = 0;
};
