// Events that belong earlier than they were found: each goes before the event at its index.
#pragma once

#include "events/UntItemObj.h"

#include <cstddef>
#include <iterator>
#include <vector>

struct TPlacedItem {
    std::size_t at = 0; // goes before items[at]; items.size() for the end
    TItemObj item;
};

// Puts each placed item at its index, in one pass over the items from the first index on.
// placed must be in the order of their indices; items with the same index keep their order.
inline void insertPlaced(std::vector<TItemObj>& items, std::vector<TPlacedItem>& placed)
{
    if (placed.empty())
        return;
    const std::size_t first = placed.front().at < items.size() ? placed.front().at : items.size();
    std::vector<TItemObj> after(std::make_move_iterator(items.begin() + static_cast<std::ptrdiff_t>(first)),
                                std::make_move_iterator(items.end()));
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(first), items.end());
    items.reserve(first + after.size() + placed.size());
    std::size_t next = 0; // in after
    for (TPlacedItem& entry : placed) {
        for (; first + next < entry.at && next < after.size(); ++next)
            items.push_back(std::move(after[next]));
        items.push_back(std::move(entry.item));
    }
    for (; next < after.size(); ++next)
        items.push_back(std::move(after[next]));
    placed.clear();
}
