#include "util/UntPathKind.h"

#include <algorithm>
#include <bit>

std::uint64_t pathKey(std::string_view path)
{
    // FNV-1a, then mixed so that the low bits, which pick the slot, depend on every byte.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash == 0 ? 1 : hash;
}

TPathAnswers::TPathAnswers(std::size_t generationSize) : generationSize_(generationSize)
{
    // At most half full: probes stay short.
    const std::size_t slots = std::bit_ceil(generationSize_ * 2 + 2);
    for (TTable* table : {&current_, &previous_}) {
        table->keys.assign(slots, 0);
        table->answers.assign(slots, 0);
    }
}

const std::int32_t* TPathAnswers::TTable::find(std::uint64_t key) const
{
    const std::size_t mask = keys.size() - 1;
    for (std::size_t i = key & mask; keys[i] != 0; i = (i + 1) & mask)
        if (keys[i] == key)
            return &answers[i];
    return nullptr;
}

std::optional<std::int32_t> TPathAnswers::find(std::uint64_t key) const
{
    if (const std::int32_t* answer = current_.find(key))
        return *answer;
    if (const std::int32_t* answer = previous_.find(key))
        return *answer;
    return std::nullopt;
}

void TPathAnswers::store(std::uint64_t key, std::int32_t answer)
{
    const std::size_t mask = current_.keys.size() - 1;
    std::size_t i = key & mask;
    for (; current_.keys[i] != 0; i = (i + 1) & mask)
        if (current_.keys[i] == key) {
            current_.answers[i] = answer;
            return;
        }
    if (current_.count >= generationSize_) {
        std::swap(previous_, current_);
        std::fill(current_.keys.begin(), current_.keys.end(), 0);
        current_.count = 0;
        i = key & mask;
    }
    current_.keys[i] = key;
    current_.answers[i] = answer;
    ++current_.count;
}
