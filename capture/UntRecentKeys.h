// Keys remembered for a while and forgotten in the order they were stamped: a hash map for the
// lookups beside a queue of (stamp, key) for the expiry, so every call costs O(1) amortised and
// nothing ever sweeps the whole map. It holds at most the keys stamped within the last `keep`,
// and never more than `limit` queued stamps: beyond that the oldest is forgotten early.
#pragma once

#include "util/UntText.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

template <typename Key>
using TKeyHash = std::conditional_t<std::is_same_v<Key, std::string>, TTextHash, std::hash<Key>>;

struct TNoValue {};

template <typename Key, typename Value = TNoValue> class TRecentKeys {
public:
    using TClock = std::chrono::steady_clock;

    TRecentKeys(TClock::duration keep, std::size_t limit) : keep_(keep), limit_(limit) {}

    // The value remembered for key, or null when it was never stamped, was forgotten, or is older
    // than keep at now.
    template <typename K> Value* find(const K& key, TClock::time_point now)
    {
        expire(now);
        auto it = entries_.find(key);
        return it == entries_.end() || !it->second.alive ? nullptr : &it->second.value;
    }

    // Stamps key at now with value; a key already there is stamped again.
    template <typename K> Value& remember(const K& key, TClock::time_point now, Value value = {})
    {
        expire(now);
        auto [it, added] = entries_.try_emplace(Key(key));
        TEntry& entry = it->second;
        entry.value = std::move(value);
        entry.alive = true;
        // One queued stamp per key and time: the entry is erased when its latest stamp leaves the queue.
        if (added || entry.stamp != now) {
            entry.stamp = now;
            order_.emplace_back(now, &it->first);
        }
        while (order_.size() > limit_)
            popOldest();
        return entry.value;
    }

    // The key is no longer remembered; its queued stamp still leaves in time order.
    template <typename K> bool forget(const K& key)
    {
        auto it = entries_.find(key);
        if (it == entries_.end() || !it->second.alive)
            return false;
        it->second.alive = false;
        return true;
    }

    // Stored keys, forgotten ones included until their stamp leaves the queue.
    std::size_t size() const { return entries_.size(); }
    std::size_t queued() const { return order_.size(); }

private:
    struct TEntry {
        TClock::time_point stamp{};
        bool alive = false;
        Value value{};
    };

    void expire(TClock::time_point now)
    {
        while (!order_.empty() && now - order_.front().first >= keep_)
            popOldest();
    }

    void popOldest()
    {
        const auto [stamp, key] = order_.front();
        order_.pop_front();
        auto it = entries_.find(*key);
        if (it != entries_.end() && it->second.stamp == stamp)
            entries_.erase(it); // a later stamp of the same key stays queued otherwise
    }

    TClock::duration keep_;
    std::size_t limit_;
    // Node-based: the queue points at the keys inside it, which never move.
    std::unordered_map<Key, TEntry, TKeyHash<Key>, std::equal_to<>> entries_;
    std::deque<std::pair<TClock::time_point, const Key*>> order_;
};

// Update File at most once per file per second: the first write is reported, later ones only
// once a second has passed since the last reported one. At most `limit` paths are held; beyond
// that the oldest is let go early, which can only report one write more.
class TModifyThrottle {
public:
    using TClock = std::chrono::steady_clock;
    explicit TModifyThrottle(std::size_t limit = 65536) : recent_(std::chrono::seconds(1), limit) {}

    bool due(std::string_view path, TClock::time_point now)
    {
        if (recent_.find(path, now))
            return false;
        recent_.remember(path, now);
        return true;
    }
    // The file was deleted or renamed away: a new file of that name is reported from its first write.
    void forget(std::string_view path) { recent_.forget(path); }
    std::size_t size() const { return recent_.size(); }

private:
    TRecentKeys<std::string> recent_;
};
