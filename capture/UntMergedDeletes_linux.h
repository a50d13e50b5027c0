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
// holds the merged deletes of one drain, indexed, so each record costs a few lookups in flat
// indexes over them.
#pragma once

#include "capture/UntFlatIndex.h"
#include "capture/UntPlacedItems.h"
#include "util/UntText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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
        const auto i = static_cast<std::uint32_t>(deletes_.size());
        deletes_.push_back(std::move(entry));
        // A later merged record of the same entry is the one its object names from now on.
        byObject_.assign(findObject(deletes_.back().objectKey), i);
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
        const TFlatIndex::TProbe probe = findObject(object);
        if (!probe.found || deletes_[byObject_.id(probe.slot)].done)
            return;
        const std::uint32_t i = byObject_.id(probe.slot);
        lasted(object);
        unindex(i);
        deletes_[i].folderKey = folder;
        deletes_[i].name = name;
        index(i);
    }

    // Before a record that removes folder: the deletes inside it that lasted, innermost first.
    template <typename Emit> void beforeRemoval(std::string_view folder, Emit emit)
    {
        for (TFlatIndex::TProbe probe = findInFolder(folder); probe.found; probe = findInFolder(folder))
            flush(inFolder_.id(probe.slot), emit);
    }
    // Before a record that makes name in folder: a delete of that name that lasted.
    template <typename Emit> void beforeCreate(std::string_view folder, std::string_view name, Emit emit)
    {
        if (const TFlatIndex::TProbe probe = findName(folder, name); probe.found)
            flush(byName_.id(probe.slot), emit);
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
    static std::uint32_t hashOf(std::string_view text) { return static_cast<std::uint32_t>(TTextHash{}(text)); }
    static std::uint32_t hashOf(std::string_view folder, std::string_view name)
    {
        return hashOf(folder) * 31 + hashOf(name);
    }
    TFlatIndex::TProbe findObject(std::string_view object) const
    {
        return byObject_.locate(hashOf(object), [&](std::uint32_t i) { return deletes_[i].objectKey == object; });
    }
    TFlatIndex::TProbe findInFolder(std::string_view folder) const
    {
        return inFolder_.locate(hashOf(folder), [&](std::uint32_t i) { return deletes_[i].folderKey == folder; });
    }
    TFlatIndex::TProbe findName(std::string_view folder, std::string_view name) const
    {
        return byName_.locate(hashOf(folder, name), [&](std::uint32_t i) {
            return deletes_[i].folderKey == folder && deletes_[i].name == name;
        });
    }

    void lasted(std::string_view object)
    {
        const TFlatIndex::TProbe probe = findObject(object);
        if (!probe.found)
            return;
        const std::uint32_t i = byObject_.id(probe.slot);
        TDelete& entry = deletes_[i];
        if (entry.done || entry.lasted)
            return;
        entry.lasted = true;
        index(i);
    }
    // Only the deletes that lasted wait for a record that needs them gone.
    void index(std::uint32_t i)
    {
        const TDelete& entry = deletes_[i];
        if (!entry.lasted || entry.done)
            return;
        // Any number of them per folder; one per name, the latest.
        inFolder_.add(hashOf(entry.folderKey), i);
        byName_.assign(findName(entry.folderKey, entry.name), i);
    }
    void unindex(std::uint32_t i)
    {
        const TDelete& entry = deletes_[i];
        if (!entry.lasted)
            return;
        if (const TFlatIndex::TProbe probe =
                inFolder_.locate(hashOf(entry.folderKey), [&](std::uint32_t id) { return id == i; });
            probe.found)
            inFolder_.erase(probe.slot);
        if (const TFlatIndex::TProbe probe = findName(entry.folderKey, entry.name);
            probe.found && byName_.id(probe.slot) == i)
            byName_.erase(probe.slot);
    }
    // The deletes inside entry's folder that lasted go first: a folder is emptied before it goes.
    template <typename Emit> void flush(std::size_t i, Emit& emit)
    {
        unindex(static_cast<std::uint32_t>(i));
        deletes_[i].done = true;
        if (deletes_[i].folder)
            beforeRemoval(deletes_[i].objectKey, emit);
        emit(deletes_[i]);
    }

    std::vector<TDelete> deletes_;
    TFlatIndex byObject_; // the latest delete of each entry
    TFlatIndex inFolder_; // those that lasted, by the folder that holds them
    TFlatIndex byName_;   // those that lasted, by folder and name
};
