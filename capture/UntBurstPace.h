// How long a reader lets events gather between reads while they keep coming. Waking for every
// few costs a context switch apiece, the largest cost of a reader on a virtual machine; a pause
// takes them by the dozen instead, and the kernel merges repeated writes to one file meanwhile.
// The pause starts short and doubles while each one gathers only a few (a disk is slower than
// memory), up to a bound far shorter than a kernel queue takes to fill; it halves again only
// when a pause brings more than a few hundred, whose reading dwarfs the wake-up, and starts
// short again once events stop coming fast. A reader that must
// act on new folders at once (inotify: a folder needs its own watch) keeps the shortest pause.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

class TBurstPace {
public:
    using TDuration = std::chrono::steady_clock::duration;
    static constexpr std::chrono::microseconds kShortest{200};
    static constexpr std::chrono::microseconds kLongest{2000};

    // worth: the events the longest pause must be expected to gather for a pause at all.
    explicit TBurstPace(std::chrono::microseconds longest = kLongest, double worth = 2)
        : longest_(std::max(longest, kShortest)), worth_(worth)
    {
    }

    // events were read at this wake-up, since the one before: true when they come fast enough
    // for the longest pause to gather several, and the pause before the next read is worth it.
    bool isBurst(std::size_t events, TDuration since)
    {
        since = std::max(since, TDuration(1));
        const bool burst = static_cast<double>(events) * static_cast<double>(TDuration(longest_).count()) >=
                           worth_ * static_cast<double>(since.count());
        if (!burst)
            pause_ = kShortest;
        else if (events < kFew)
            pause_ = std::min(pause_ * 2, longest_);
        else if (events >= kMany)
            pause_ = std::max(pause_ / 2, kShortest);
        return burst;
    }
    std::chrono::microseconds pause() const { return pause_; }

private:
    static constexpr std::size_t kFew = 32;
    static constexpr std::size_t kMany = 512;
    std::chrono::microseconds longest_;
    double worth_;
    std::chrono::microseconds pause_ = kShortest;
};
