// How long a reader lets events gather between reads while they keep coming. Waking for every
// few costs a context switch apiece, the largest cost of a reader on a virtual machine; a pause
// takes them by the hundred instead, and the kernel merges repeated writes to one file meanwhile.
// The pause starts short and doubles while each one gathers fewer than a few hundred, so that a
// slow writer (a disk, a busy machine) costs as little per event as a fast one, up to a bound
// far shorter than a kernel queue takes to fill; it halves again only when a pause brings
// thousands, whose reading dwarfs the wake-up, and starts short again once events stop
// coming fast. A reader that must act on new folders at once (inotify: each needs its own watch
// before its entries can be seen) takes a shorter bound, and holds the pause at its shortest
// while folders are being made.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

class TBurstPace {
public:
    using TDuration = std::chrono::steady_clock::duration;
    static constexpr std::chrono::microseconds kShortest{200};
    static constexpr std::chrono::microseconds kLongest{64000};

    explicit TBurstPace(std::chrono::microseconds longest = kLongest) : longest_(std::max(longest, kShortest)) {}

    // While held, the pause stays the shortest and only a fast burst (eight events in one) is
    // worth one.
    void hold(bool held)
    {
        held_ = held;
        if (held)
            pause_ = kShortest;
    }

    // events were read at this wake-up, since the one before: true when the pause before the
    // next read is worth it, because they come fast enough for the longest pause to gather
    // several, or, unless held, because the pause just taken brought some. So a pause ends only
    // when one brings nothing: the kernel merges a stream of writes to one file into a record per
    // pause, and blocking until the next would wake the reader for every write instead.
    bool isBurst(std::size_t events, TDuration since)
    {
        since = std::max(since, TDuration(1));
        const auto longest = held_ ? kShortest : longest_;
        const double worth = held_ ? 8 : 2; // events the longest pause must be expected to gather
        const bool fast = static_cast<double>(events) * static_cast<double>(TDuration(longest).count()) >=
                          worth * static_cast<double>(since.count());
        const bool burst = events > 0 && ((paused_ && !held_) || fast);
        paused_ = burst;
        if (!burst)
            pause_ = kShortest;
        else if (events < kFew)
            pause_ = std::min(pause_ * 2, std::chrono::microseconds(longest));
        else if (events >= kMany)
            pause_ = std::max(pause_ / 2, kShortest);
        return burst;
    }
    std::chrono::microseconds pause() const { return pause_; }

private:
    static constexpr std::size_t kFew = 256;
    static constexpr std::size_t kMany = 2048;
    std::chrono::microseconds longest_;
    bool held_ = false;
    bool paused_ = false; // the last call asked for a pause
    std::chrono::microseconds pause_ = kShortest;
};
