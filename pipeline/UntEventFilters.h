// The excluded-folder list (removes) and the extension list (keeps) of a recording.
#pragma once

#include "events/UntItemObj.h"
#include "util/UntText.h"

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Create, Delete, Rename File and Update File: the extension list applies to them.
bool isFileEvent(int eventNum);
// The kinds that add nodes to the tree.
bool isTreeEvent(int eventNum);

class TEventFilters {
public:
    explicit TEventFilters(TPathStyle style = kNativePathStyle) : style_(style) {}

    // Each takes a list text (one entry per line) and replaces the list. Entries are kept as
    // written and folded once here, not at every comparison.
    void setDirFilters(std::string_view listText);
    void setExtFilters(std::string_view listText);

    const std::vector<std::string>& dirFilters() const { return dirEntries_; }
    const std::vector<std::string>& extFilters() const { return extEntries_; }

    // True when item1 (with a final separator added) starts with an excluded folder.
    bool isExcluded(std::string_view item1) const;
    // True when the event survives the extension list.
    bool keepsExtension(int eventNum, std::string_view item1, std::string_view item2) const;
    bool passes(const TItemObj& item) const
    {
        return !isExcluded(item.getItem1()) && keepsExtension(item.getEventNum(), item.getItem1(), item.getItem2());
    }

private:
    TPathStyle style_;
    std::vector<std::string> dirEntries_;
    std::vector<std::string> extEntries_;
    // Folded folder entries grouped by length, so a path is probed once per distinct length.
    std::vector<std::pair<std::size_t, std::unordered_set<std::string>>> dirByLength_;
    std::unordered_set<std::string> extFolded_;
};
