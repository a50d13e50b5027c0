// A flat hash index from a 32-bit hash to node ids: open addressing with linear probing and
// backward-shift deletion. The caller owns the keys; a lookup confirms candidates with its
// own comparison. One probe sequence touches one cache line in the common case, which is
// what makes lookups in a tree of a million nodes cheap.
#pragma once

#include <cstdint>
#include <vector>

class TNodeIndex {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // The first stored id with this hash for which same(id) holds, or kNone.
    template <typename Same> std::uint32_t find(std::uint32_t hash, Same same) const
    {
        if (slots_.empty())
            return kNone;
        for (std::size_t i = hash & mask(); slots_[i].id != kNone; i = (i + 1) & mask())
            if (slots_[i].hash == hash && same(slots_[i].id))
                return slots_[i].id;
        return kNone;
    }

    void insert(std::uint32_t hash, std::uint32_t id)
    {
        if ((count_ + 1) * 2 > slots_.size())
            grow();
        place(hash, id);
        ++count_;
    }

    // Removes exactly this id; false when it is not stored under this hash.
    bool erase(std::uint32_t hash, std::uint32_t id)
    {
        if (slots_.empty())
            return false;
        std::size_t i = hash & mask();
        while (slots_[i].id != id) {
            if (slots_[i].id == kNone)
                return false;
            i = (i + 1) & mask();
        }
        // Pull later entries of the run back so no probe sequence is broken.
        for (std::size_t j = (i + 1) & mask(); slots_[j].id != kNone; j = (j + 1) & mask()) {
            const std::size_t home = slots_[j].hash & mask();
            const bool homeBetween = i <= j ? (home > i && home <= j) : (home > i || home <= j);
            if (!homeBetween) {
                slots_[i] = slots_[j];
                i = j;
            }
        }
        slots_[i] = TSlot{};
        --count_;
        return true;
    }

    void clear()
    {
        std::vector<TSlot>().swap(slots_);
        count_ = 0;
    }

    std::size_t size() const { return count_; }
    std::size_t memoryBytes() const { return slots_.capacity() * sizeof(TSlot); }

private:
    struct TSlot {
        std::uint32_t hash = 0;
        std::uint32_t id = kNone;
    };

    std::size_t mask() const { return slots_.size() - 1; }

    void place(std::uint32_t hash, std::uint32_t id)
    {
        std::size_t i = hash & mask();
        while (slots_[i].id != kNone)
            i = (i + 1) & mask();
        slots_[i] = TSlot{hash, id};
    }

    void grow()
    {
        std::vector<TSlot> old(slots_.empty() ? 16 : slots_.size() * 2);
        old.swap(slots_);
        for (const TSlot& slot : old)
            if (slot.id != kNone)
                place(slot.hash, slot.id);
    }

    std::vector<TSlot> slots_;
    std::size_t count_ = 0;
};
