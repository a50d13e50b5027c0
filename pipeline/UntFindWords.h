// The words typed into the find bar. Blanks separate them; each is compared without regard to
// case the way the whole system compares (only a-z fold). A text matches when every word occurs
// in it; a word may occur anywhere, across path separators too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TFindWords {
public:
    // Words beyond this many are ignored: a found word is one bit of a 32-bit mask.
    static constexpr std::size_t kMostWords = 32;

    TFindWords() = default;
    explicit TFindWords(std::string_view text);

    bool empty() const { return words_.empty(); }
    std::size_t size() const { return words_.size(); }
    // The folded words, longest first (a long word rules a text out soonest), without repeats.
    const std::vector<std::string>& words() const { return words_; }
    // The mask with one bit per word.
    std::uint32_t all() const { return words_.size() >= 32 ? ~0u : (1u << words_.size()) - 1u; }
    // The longest word's length: a word that ends in a text starts at most this many minus one
    // characters before it.
    std::size_t longest() const { return words_.empty() ? 0 : words_.front().size(); }

    // found with the bits of the words that occur in text added; words in found are not searched.
    std::uint32_t hitsIn(std::string_view text, std::uint32_t found = 0) const;
    // Every word occurs in at least one of the texts.
    bool matchesAny(std::initializer_list<std::string_view> texts) const;

    friend bool operator==(const TFindWords&, const TFindWords&) = default;

private:
    std::vector<std::string> words_;
};
