#include "capture/UntUpdateThrottle.h"

bool TUpdateThrottle::due(std::string_view key, TClock::time_point now)
{
    // Each remembered key has exactly one entry here, so the oldest ones go first and alone.
    while (!order_.empty() && now - order_.front().time >= quiet_) {
        last_.erase(order_.front().key);
        order_.pop_front();
    }
    const auto [it, added] = last_.try_emplace(std::string(key), now);
    if (!added)
        return false;
    order_.push_back({now, it->first});
    return true;
}
