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
// holds the merged deletes of one read only, so each lookup runs over a handful of entries.
#pragma once

#include "capture/UntPlacedItems.h"

#include <cstddef>
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
    void add(TDelete entry) { deletes_.push_back(std::move(entry)); }

    // A later record in folder, or about object: what it names was still there.
    void seen(std::string_view folder, std::string_view object)
    {
        for (TDelete& entry : deletes_)
            if (!entry.done && (entry.objectKey == folder || (!object.empty() && entry.objectKey == object)))
                entry.lasted = true;
    }
    // The entry object was renamed: it lasted, and is deleted under its new name.
    void renamed(std::string_view object, std::string_view folder, std::string_view name)
    {
        for (TDelete& entry : deletes_)
            if (!entry.done && entry.objectKey == object) {
                entry.lasted = true;
                entry.folderKey = folder;
                entry.name = name;
            }
    }

    // Before a record that removes folder: the deletes inside it that lasted, innermost first.
    template <typename Emit> void beforeRemoval(std::string_view folder, Emit emit)
    {
        for (TDelete& entry : deletes_)
            if (!entry.done && entry.lasted && entry.folderKey == folder)
                flush(entry, emit);
    }
    // Before a record that makes name in folder: a delete of that name that lasted.
    template <typename Emit> void beforeCreate(std::string_view folder, std::string_view name, Emit emit)
    {
        for (TDelete& entry : deletes_)
            if (!entry.done && entry.lasted && entry.folderKey == folder && entry.name == name)
                flush(entry, emit);
    }

    // The end of a read: the deletes that lasted are emitted at the end, innermost first; the
    // others take their places among items, as make gives them (an optional item).
    template <typename Emit, typename Make> void settle(std::vector<TItemObj>& items, Emit emit, Make make)
    {
        for (TDelete& entry : deletes_)
            if (!entry.done && entry.lasted)
                flush(entry, emit);
        std::vector<TPlacedItem> placed;
        for (TDelete& entry : deletes_)
            if (!entry.done)
                if (auto item = make(entry))
                    placed.push_back({entry.at, std::move(*item)});
        deletes_.clear();
        insertPlaced(items, placed);
    }

private:
    // The deletes inside entry's folder that lasted go first: a folder is emptied before it goes.
    template <typename Emit> void flush(TDelete& entry, Emit& emit)
    {
        entry.done = true;
        if (entry.folder)
            for (TDelete& inner : deletes_)
                if (!inner.done && inner.lasted && inner.folderKey == entry.objectKey)
                    flush(inner, emit);
        emit(entry);
    }

    std::vector<TDelete> deletes_;
};
