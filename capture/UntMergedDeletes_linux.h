// Where the delete of a merged create and delete goes.
//
// fanotify merges a later event into a queued one of the same folder, name, file and process, so
// a file made and removed while the reader lags arrives as one record at the create's place, and
// the record cannot say when the delete came. The delete goes where the kernel put it, right
// after the create, unless a later record of the same read shows that the entry was still there
// (something made inside it, an event of its own, a rename of it). Then it goes as late as
// needed: just before the first record that needs it gone (its folder removed, its name made
// again), or at the end of the read, with the path it has by then.
//
// Plain data: the backend reports each record to it, and it hands back the deletes to emit. It
// holds the merged deletes of one read, indexed, so each record costs a few hash lookups.
#pragma once

#include "capture/UntPlacedItems.h"
#include "capture/UntRecentKeys.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TMergedDeletes {
public:
    struct TDelete {
        std::string folderKey; // the folder that holds the entry
        std::string objectKey; // the entry itself
        std::string name;
        std::string path; // as its record named it
        bool folder = false;
        int pid = 0;
        std::size_t at = 0; // its place if nothing later shows it lasted: before that event
        bool lasted = false;
        bool done = false;
    };

    bool empty() const { return deletes_.empty(); }
    void add(TDelete entry)
    {
        byObject_[entry.objectKey] = deletes_.size();
        deletes_.push_back(std::move(entry));
    }

    // A later record in folder, or about object: what it names was still there.
    void seen(std::string_view folder, std::string_view object)
    {
        lasted(folder);
        if (!object.empty())
            lasted(object);
    }
    // The entry object was renamed: it lasted, and is deleted under its new name.
    void renamed(std::string_view object, std::string_view folder, std::string_view name)
    {
        auto it = byObject_.find(object);
        if (it == byObject_.end() || deletes_[it->second].done)
            return;
        lasted(object);
        TDelete& entry = deletes_[it->second];
        unindex(it->second);
        entry.folderKey = folder;
        entry.name = name;
        index(it->second);
    }

    // Before a record that removes folder: the deletes inside it that lasted, innermost first.
    template <typename Emit> void beforeRemoval(std::string_view folder, Emit emit)
    {
        for (auto it = inFolder_.find(folder); it != inFolder_.end(); it = inFolder_.find(folder))
            flush(it->second, emit);
    }
    // Before a record that makes name in folder: a delete of that name that lasted.
    template <typename Emit> void beforeCreate(std::string_view folder, std::string_view name, Emit emit)
    {
        if (auto it = byName_.find(nameKey(folder, name)); it != byName_.end())
            flush(it->second, emit);
    }

    // The end of a read: the deletes that lasted are emitted at the end, innermost first; the
    // others take their places among items, as make gives them (an optional item).
    template <typename Emit, typename Make> void settle(std::vector<TItemObj>& items, Emit emit, Make make)
    {
        for (std::size_t i = 0; i < deletes_.size(); ++i)
            if (!deletes_[i].done && deletes_[i].lasted)
                flush(i, emit);
        std::vector<TPlacedItem> placed;
        for (TDelete& entry : deletes_)
            if (!entry.done)
                if (auto item = make(entry))
                    placed.push_back({entry.at, std::move(*item)});
        deletes_.clear();
        byObject_.clear();
        inFolder_.clear();
        byName_.clear();
        insertPlaced(items, placed);
    }

private:
    void lasted(std::string_view object)
    {
        auto it = byObject_.find(object);
        if (it == byObject_.end())
            return;
        TDelete& entry = deletes_[it->second];
        if (entry.done || entry.lasted)
            return;
        entry.lasted = true;
        index(it->second);
    }
    const std::string& nameKey(std::string_view folder, std::string_view name)
    {
        key_.assign(folder);
        key_ += '/';
        key_.append(name);
        return key_;
    }
    // Only the deletes that lasted wait for a record that needs them gone.
    void index(std::size_t i)
    {
        const TDelete& entry = deletes_[i];
        if (!entry.lasted || entry.done)
            return;
        inFolder_.emplace(entry.folderKey, i);
        byName_[nameKey(entry.folderKey, entry.name)] = i;
    }
    void unindex(std::size_t i)
    {
        const TDelete& entry = deletes_[i];
        if (!entry.lasted)
            return;
        for (auto [it, end] = inFolder_.equal_range(entry.folderKey); it != end; ++it)
            if (it->second == i) {
                inFolder_.erase(it);
                break;
            }
        if (auto it = byName_.find(nameKey(entry.folderKey, entry.name)); it != byName_.end() && it->second == i)
            byName_.erase(it);
    }
    // The deletes inside entry's folder that lasted go first: a folder is emptied before it goes.
    template <typename Emit> void flush(std::size_t i, Emit& emit)
    {
        unindex(i);
        deletes_[i].done = true;
        if (deletes_[i].folder)
            beforeRemoval(deletes_[i].objectKey, emit);
        emit(deletes_[i]);
    }

    std::vector<TDelete> deletes_;
    std::unordered_map<std::string, std::size_t, TTextHash, std::equal_to<>> byObject_;
    std::unordered_multimap<std::string, std::size_t, TTextHash, std::equal_to<>> inFolder_; // lasted only
    std::unordered_map<std::string, std::size_t, TTextHash, std::equal_to<>> byName_;        // lasted only
    std::string key_;
};
