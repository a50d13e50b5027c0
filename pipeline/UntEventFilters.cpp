#include "pipeline/UntEventFilters.h"

#include "events/UntEvents.h"

#include <algorithm>

bool isFileEvent(int eventNum)
{
    return eventNum == evCreate || eventNum == evDelete || eventNum == evRenameFile || eventNum == evUpdateFile;
}

bool isTreeEvent(int eventNum)
{
    switch (eventNum) {
    case evCreate:
    case evDelete:
    case evMkDir:
    case evRenameFolder:
    case evRenameFile:
    case evRmDir:
    case evUpdateDir:
    case evUpdateFile:
        return true;
    default:
        return false;
    }
}

void TEventFilters::setDirFilters(std::string_view listText)
{
    dirEntries_ = splitLines(listText);
    dirByLength_.clear();
    for (const auto& entry : dirEntries_) {
        auto group = std::find_if(dirByLength_.begin(), dirByLength_.end(),
                                  [&](const auto& g) { return g.first == entry.size(); });
        if (group == dirByLength_.end())
            group = dirByLength_.insert(dirByLength_.end(), {entry.size(), {}});
        group->second.insert(foldCase(entry));
    }
    std::sort(dirByLength_.begin(), dirByLength_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

void TEventFilters::setExtFilters(std::string_view listText)
{
    extEntries_ = splitLines(listText);
    extFolded_.clear();
    for (const auto& entry : extEntries_)
        extFolded_.insert(foldCase(entry));
}

bool TEventFilters::isExcluded(std::string_view item1) const
{
    if (dirByLength_.empty())
        return false;
    const char sep = pathSeparator(style_);
    std::string path = foldCase(item1);
    if (path.empty() || path.back() != sep)
        path.push_back(sep);
    for (const auto& [length, entries] : dirByLength_) {
        if (length > path.size())
            break; // a path shorter than an entry never matches it
        if (entries.count(path.substr(0, length)))
            return true;
    }
    return false;
}

bool TEventFilters::keepsExtension(int eventNum, std::string_view item1, std::string_view item2) const
{
    if (extFolded_.empty() || !isFileEvent(eventNum))
        return true;
    return extFolded_.count(foldCase(extensionPart(item1, style_))) ||
           extFolded_.count(foldCase(extensionPart(item2, style_)));
}
