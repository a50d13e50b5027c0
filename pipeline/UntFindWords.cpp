#include "pipeline/UntFindWords.h"

#include "util/UntText.h"

#include <algorithm>

TFindWords::TFindWords(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && words_.size() < kMostWords) {
        while (at < text.size() && static_cast<unsigned char>(text[at]) <= 0x20)
            ++at;
        const std::size_t start = at;
        while (at < text.size() && static_cast<unsigned char>(text[at]) > 0x20)
            ++at;
        if (at > start) {
            std::string word = foldCase(text.substr(start, at - start));
            if (std::find(words_.begin(), words_.end(), word) == words_.end())
                words_.push_back(std::move(word));
        }
    }
    std::stable_sort(words_.begin(), words_.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::uint32_t TFindWords::hitsIn(std::string_view text, std::uint32_t found) const
{
    for (std::size_t i = 0; i < words_.size(); ++i) {
        const std::uint32_t bit = 1u << i;
        if (!(found & bit) && containsFolded(text, words_[i]))
            found |= bit;
    }
    return found;
}

bool TFindWords::matchesAny(std::initializer_list<std::string_view> texts) const
{
    for (const std::string& word : words_) {
        bool found = false;
        for (std::string_view text : texts)
            if (containsFolded(text, word)) {
                found = true;
                break;
            }
        if (!found)
            return false;
    }
    return true;
}
