// A synchronous step: run a piece of work on the user-interface thread and wait for it.
#pragma once

#include <functional>
#include <mutex>
#include <stdexcept>

// Thrown by synchronize when the invoker is closing (program exit) and the step did not run.
class TSyncClosed : public std::runtime_error {
public:
    TSyncClosed() : std::runtime_error("user-interface thread is closing") {}
};

class TSyncInvoker {
public:
    virtual ~TSyncInvoker() = default;
    // Runs step on the user-interface thread and returns once it has run. An exception thrown by
    // the step is rethrown here. Must not be called on the user-interface thread itself.
    virtual void synchronize(const std::function<void()>& step) = 0;
};

// For the headless companion and the tests: the "user-interface thread" is whoever holds the lock.
class TDirectInvoker final : public TSyncInvoker {
public:
    void synchronize(const std::function<void()>& step) override
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            throw TSyncClosed();
        step();
    }
    void close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }

private:
    std::mutex mutex_;
    bool closed_ = false;
};
