// Update File at most once per file per quiet period. Keys expire in the order they were let
// through, so each call costs O(1) amortised however many files are written.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

class TUpdateThrottle {
public:
    using TClock = std::chrono::steady_clock;

    explicit TUpdateThrottle(TClock::duration quiet = std::chrono::seconds(1)) : quiet_(quiet) {}

    // True when key was not let through within the quiet period before now. Calls come with
    // times that never go back.
    bool due(std::string_view key, TClock::time_point now);
    // The file went (deleted, renamed away): one made again under its name is let through at once.
    void forget(std::string_view key);
    // Keys still remembered (those let through within the last quiet period, at most).
    std::size_t size() const { return last_.size(); }

private:
    struct TPassed {
        TClock::time_point time;
        std::string key;
    };

    TClock::duration quiet_;
    std::unordered_map<std::string, TClock::time_point> last_;
    std::deque<TPassed> order_; // oldest first; a key forgotten and let through again is here twice
};
