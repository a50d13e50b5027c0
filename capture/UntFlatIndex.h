// An open-addressing index from a key's 32-bit hash to an id the caller gives it (a slot of its
// own storage, which holds the keys): one flat array of (hash, id) words, linear probing at most
// half full, deletion by moving later words of the run back (no tombstones), and growth that
// rehashes the words alone. A lookup reads one word, and the caller's key only when the hashes
// agree; a node-based map reads a bucket, a node and the key on every lookup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TFlatIndex {
public:
    // Ids live in 31 bits of a word; the top bit marks the word used, so no used word is zero.
    static constexpr std::uint32_t kIdBits = 0x7FFFFFFF;

    struct TProbe {
        std::size_t slot;
        std::uint32_t hash;
        bool found;
    };

    // The slot of the key with this hash, which matches(id) recognises, or where it would go.
    template <typename Matches> TProbe locate(std::uint32_t hash, Matches matches) const
    {
        if (words_.empty())
            return {0, hash, false};
        const std::size_t mask = words_.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint64_t word = words_[slot];
            if (word == 0)
                return {slot, hash, false};
            if (std::uint32_t(word >> 32) == hash && matches(idOf(word)))
                return {slot, hash, true};
        }
    }

    std::uint32_t id(std::size_t slot) const { return idOf(words_[slot]); }
    void setId(std::size_t slot, std::uint32_t id) { words_[slot] = wordOf(std::uint32_t(words_[slot] >> 32), id); }

    // Adds id at the end of a probe that did not find its key (the index may grow meanwhile).
    void insert(const TProbe& probe, std::uint32_t id)
    {
        std::size_t slot = probe.slot;
        if ((count_ + 1) * 2 > words_.size()) {
            grow();
            slot = freeSlot(probe.hash);
        }
        words_[slot] = wordOf(probe.hash, id);
        ++count_;
    }

    // The key a probe looked for has id from now on, whether it was there or not.
    void assign(const TProbe& probe, std::uint32_t id)
    {
        if (probe.found)
            setId(probe.slot, id);
        else
            insert(probe, id);
    }

    // One more id under hash, beside any already there: several ids may share a key.
    void add(std::uint32_t hash, std::uint32_t id) { insert({words_.empty() ? 0 : freeSlot(hash), hash, false}, id); }

    // The slot that holds id under hash; it must be there.
    std::size_t slotOf(std::uint32_t hash, std::uint32_t id) const
    {
        const std::size_t mask = words_.size() - 1;
        std::size_t slot = hash & mask;
        while (words_[slot] != wordOf(hash, id))
            slot = (slot + 1) & mask;
        return slot;
    }

    void erase(std::size_t hole)
    {
        const std::size_t mask = words_.size() - 1;
        words_[hole] = 0;
        --count_;
        for (std::size_t slot = (hole + 1) & mask; words_[slot] != 0; slot = (slot + 1) & mask) {
            const std::size_t home = std::uint32_t(words_[slot] >> 32) & mask;
            // The word may fill the hole only when its home is not inside (hole, slot].
            if (((slot - home) & mask) >= ((slot - hole) & mask)) {
                words_[hole] = words_[slot];
                words_[slot] = 0;
                hole = slot;
            }
        }
    }

    std::size_t size() const { return count_; }
    void clear()
    {
        words_.clear();
        count_ = 0;
    }

private:
    static std::uint64_t wordOf(std::uint32_t hash, std::uint32_t id)
    {
        return (std::uint64_t(hash) << 32) | (id & kIdBits) | 0x80000000u;
    }
    static std::uint32_t idOf(std::uint64_t word) { return std::uint32_t(word) & kIdBits; }

    std::size_t freeSlot(std::uint32_t hash) const
    {
        const std::size_t mask = words_.size() - 1;
        std::size_t slot = hash & mask;
        while (words_[slot] != 0)
            slot = (slot + 1) & mask;
        return slot;
    }

    void grow()
    {
        std::vector<std::uint64_t> old = std::move(words_);
        words_.assign(old.empty() ? 32 : old.size() * 2, 0);
        for (const std::uint64_t word : old)
            if (word != 0)
                words_[freeSlot(std::uint32_t(word >> 32))] = word;
    }

    std::vector<std::uint64_t> words_; // a power of two long
    std::size_t count_ = 0;
};
