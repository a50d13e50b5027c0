#include "capture/UntUpdateThrottle.h"

bool TUpdateThrottle::due(std::string_view key, TClock::time_point now)
{
    while (!order_.empty() && now - order_.front().time >= quiet_) {
        // Only the entry of the key's latest pass removes it.
        const auto it = last_.find(order_.front().key);
        if (it != last_.end() && it->second == order_.front().time)
            last_.erase(it);
        order_.pop_front();
    }
    const auto [it, added] = last_.try_emplace(std::string(key), now);
    if (!added)
        return false;
    order_.push_back({now, it->first});
    return true;
}

void TUpdateThrottle::forget(std::string_view key)
{
    last_.erase(std::string(key));
}
