// Prefix sums over a sequence of counts that grows at its end, is emptied at once, and whose
// values change in place: a Fenwick tree. The sum of the first k values, a change of one value
// and the search for the value that holds a position each take O(log n).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class TPrefixSums {
public:
    std::size_t size() const { return tree_.size(); }
    void clear() { std::vector<std::uint32_t>().swap(tree_); }

    // n values, all zero.
    void assignZeros(std::size_t n) { tree_.assign(n, 0); }
    // The given values, in O(n).
    void assign(const std::vector<std::uint32_t>& values)
    {
        tree_ = values;
        for (std::size_t i = 1; i <= tree_.size(); ++i) {
            const std::size_t up = i + (i & (~i + 1));
            if (up <= tree_.size())
                tree_[up - 1] += tree_[i - 1];
        }
    }

    void append(std::uint32_t value)
    {
        const std::size_t i = tree_.size() + 1;
        // The new cell covers the values (i - lowbit(i), i]: the earlier ones are a difference of prefixes.
        const std::size_t low = i - (i & (~i + 1));
        tree_.push_back(value + prefix(i - 1) - prefix(low));
    }

    // delta may be negative; the value must stay >= 0.
    void add(std::size_t index, std::int64_t delta)
    {
        for (std::size_t i = index + 1; i <= tree_.size(); i += i & (~i + 1))
            tree_[i - 1] = static_cast<std::uint32_t>(static_cast<std::int64_t>(tree_[i - 1]) + delta);
    }

    // The sum of the values [0, count).
    std::uint32_t prefix(std::size_t count) const
    {
        std::uint32_t sum = 0;
        for (std::size_t i = count; i > 0; i -= i & (~i + 1))
            sum += tree_[i - 1];
        return sum;
    }
    std::uint32_t total() const { return prefix(tree_.size()); }
    std::uint32_t valueAt(std::size_t index) const { return prefix(index + 1) - prefix(index); }

    // The index of the value that holds position (counted from 0 over all values) and the offset
    // of position within that value: the smallest index with prefix(index + 1) > position.
    // position must be below total().
    std::pair<std::size_t, std::uint32_t> locate(std::uint32_t position) const
    {
        std::size_t at = 0;
        std::size_t step = 1;
        while (step * 2 <= tree_.size())
            step *= 2;
        for (; step > 0; step /= 2)
            if (at + step <= tree_.size() && tree_[at + step - 1] <= position) {
                at += step;
                position -= tree_[at - 1];
            }
        return {at, position};
    }

private:
    std::vector<std::uint32_t> tree_;
};
