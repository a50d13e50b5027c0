// Keys remembered for a while and forgotten in the order they were stamped. The stamps sit in a
// ring in time order, which is the expiry queue, and a flat index finds a key's latest stamp by
// its ring position: one hash per call, and expiry pops the ring's front, so every call costs
// O(1) amortised with no sweep of the whole set. A burst of distinct keys touches the ring in
// order and one index word each, not a node per key scattered over the heap. It holds at most
// the keys stamped within the last `keep`, and never more than `limit` queued stamps: beyond
// that the oldest is forgotten early.
#pragma once

#include "capture/UntFlatIndex.h"
#include "util/UntText.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

template <typename Key>
using TKeyHash = std::conditional_t<std::is_same_v<Key, std::string>, TTextHash, std::hash<Key>>;

struct TNoValue {};

template <typename Key, typename Value = TNoValue> class TRecentKeys {
public:
    using TClock = std::chrono::steady_clock;

    TRecentKeys(TClock::duration keep, std::size_t limit)
        : keep_(keep), limit_(limit < 1            ? 1
                              : limit < kMaxQueued ? limit
                                                   : kMaxQueued)
    {
    }

    // The value remembered for key, or null when it was never stamped, was forgotten, or is older
    // than keep at now.
    template <typename K> Value* find(const K& key, TClock::time_point now)
    {
        expire(now);
        const TProbe probe = locate(key);
        return probe.found ? &stampAt(probe.slot).value : nullptr;
    }

    // Stamps key at now with value; a key already there is stamped again.
    template <typename K> Value& remember(const K& key, TClock::time_point now, Value value = {})
    {
        expire(now);
        const TProbe probe = locate(key);
        TStamp& stamp = probe.found ? restamp(probe.slot, now) : append(probe, key, now);
        stamp.value = std::move(value);
        return trimmed(stamp).value;
    }

    // Stamps key at now unless it is remembered already; true when it was not.
    template <typename K> bool add(const K& key, TClock::time_point now)
    {
        expire(now);
        const TProbe probe = locate(key);
        if (probe.found)
            return false;
        trimmed(append(probe, key, now));
        return true;
    }

    // The key is no longer remembered; its queued stamp still leaves in time order.
    template <typename K> bool forget(const K& key)
    {
        const TProbe probe = locate(key);
        if (!probe.found)
            return false;
        stampAt(probe.slot).current = false;
        index_.erase(probe.slot);
        return true;
    }

    // Keys remembered, and stamps queued (a key stamped again at another time is queued twice
    // until its older stamp leaves).
    std::size_t size() const { return index_.size(); }
    std::size_t queued() const { return static_cast<std::size_t>(tail_ - head_); }

private:
    // A ring position is kept in the 31 bits of an index id: the ring never holds more.
    static constexpr std::size_t kMaxQueued = std::size_t(1) << 30;

    struct TStamp {
        TClock::time_point stamp{};
        std::uint32_t hash = 0;
        bool current = false; // the key's latest stamp, which the index points at
        Key key{};
        Value value{};
    };
    using TProbe = TFlatIndex::TProbe;

    static std::uint32_t positionId(std::uint64_t position) { return std::uint32_t(position) & TFlatIndex::kIdBits; }

    TStamp& at(std::uint64_t position) { return ring_[position & (ring_.size() - 1)]; }
    // The stamp an index id points at; its position is relative to the ring's front.
    TStamp& atId(std::uint32_t id) { return at(head_ + ((id - positionId(head_)) & TFlatIndex::kIdBits)); }
    TStamp& stampAt(std::size_t slot) { return atId(index_.id(slot)); }

    template <typename K> TProbe locate(const K& key)
    {
        const auto hash = static_cast<std::uint32_t>(TKeyHash<Key>{}(key));
        return index_.locate(hash, [&](std::uint32_t id) { return atId(id).key == key; });
    }

    // A popped stamp keeps its key's room, so a burst of new keys reuses the ring's strings
    // instead of allocating one per key.
    template <typename K> TStamp& push(const K& key, std::uint32_t hash, TClock::time_point now)
    {
        reserveOne();
        TStamp& stamp = at(tail_++);
        stamp.stamp = now;
        stamp.hash = hash;
        stamp.current = true;
        if constexpr (std::is_same_v<Key, std::string>)
            stamp.key.assign(std::string_view(key));
        else
            stamp.key = key;
        return stamp;
    }

    template <typename K> TStamp& append(const TProbe& probe, const K& key, TClock::time_point now)
    {
        index_.insert(probe, positionId(tail_));
        return push(key, probe.hash, now);
    }

    // One queued stamp per key and time: a key stamped again at the same time keeps its place.
    TStamp& restamp(std::size_t slot, TClock::time_point now)
    {
        if (stampAt(slot).stamp == now)
            return stampAt(slot);
        reserveOne(); // before old is found: growing moves the ring
        TStamp& old = stampAt(slot);
        old.current = false;
        index_.setId(slot, positionId(tail_));
        return push(old.key, old.hash, now);
    }

    // Popping never moves the ring, and the newest stamp stays: the limit is at least one.
    TStamp& trimmed(TStamp& stamp)
    {
        while (queued() > limit_)
            popOldest();
        return stamp;
    }

    void expire(TClock::time_point now)
    {
        while (head_ != tail_ && now - at(head_).stamp >= keep_)
            popOldest();
    }

    void popOldest()
    {
        TStamp& oldest = at(head_);
        if (oldest.current)
            index_.erase(index_.slotOf(oldest.hash, positionId(head_)));
        oldest.current = false;
        oldest.value = Value();
        ++head_;
    }

    void reserveOne()
    {
        if (queued() == ring_.size())
            growRing();
    }

    void growRing()
    {
        std::vector<TStamp> bigger(ring_.empty() ? 16 : ring_.size() * 2);
        for (std::uint64_t position = head_; position != tail_; ++position)
            bigger[position & (bigger.size() - 1)] = std::move(at(position));
        ring_ = std::move(bigger);
    }

    TClock::duration keep_;
    std::size_t limit_;
    std::vector<TStamp> ring_;          // a power of two long; positions count up for ever
    std::uint64_t head_ = 0, tail_ = 0; // positions of the oldest stamp and of the next one
    TFlatIndex index_;                  // each current stamp's position, by its key
};

// Update File at most once per file per second: the first write is reported, later ones only
// once a second has passed since the last reported one. At most `limit` paths are held; beyond
// that the oldest is let go early, which can only report one write more.
class TModifyThrottle {
public:
    using TClock = std::chrono::steady_clock;
    explicit TModifyThrottle(std::size_t limit = 65536) : recent_(std::chrono::seconds(1), limit) {}

    bool due(std::string_view path, TClock::time_point now) { return recent_.add(path, now); }
    // The file was deleted or renamed away: a new file of that name is reported from its first write.
    void forget(std::string_view path) { recent_.forget(path); }
    std::size_t size() const { return recent_.size(); }

private:
    TRecentKeys<std::string> recent_;
};
