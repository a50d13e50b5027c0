// For cases about liveness: the body runs on its own thread, and a body still running after
// the limit fails the case by name. A hung thread cannot be joined, so the program then ends at
// once with that message instead of waiting for the runner's time limit to kill it silently.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

inline void runWithin(std::chrono::milliseconds limit, const char* what, const std::function<void()>& body)
{
    std::packaged_task<void()> task(body);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    if (done.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s did not return within %lld ms\n", what, static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(1);
    }
    runner.join();
    done.get(); // rethrows what the body threw
}

// Elapsed wall time of a call, for cases that claim something ends by itself or at once.
template <typename F> std::chrono::milliseconds elapsedOf(F&& call)
{
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}
