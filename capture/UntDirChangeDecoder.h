// The change records that ReadDirectoryChangesW gives for one watched root, turned into events.
// Plain data, no system call: whether a path is a folder is asked through a probe, so the rules
// are tested on any platform.
//
//   added        Create, or New Directory for a folder
//   removed      Delete Directory for a folder known to exist, else Delete
//   modified     Update File at most once per file per second; nothing for a folder
//   renamed      the old and the new name, paired: Rename Folder or Rename File
//   overflow     Update Directory for the root
//
// A folder is known from what the records show (created, renamed, or above a named path) and
// from the probe. Wine reports what happens inside a renamed folder under the folder's old name;
// such a name, whose parent is no known folder, is carried over to the folder's new name. It
// also goes on reporting what happens in a folder moved out of the tree under its old name:
// names below a folder that went, with nothing made there since, are left out.
#pragma once

#include "capture/UntCaptureBackend.h"
#include "capture/UntKnownFolders.h"
#include "capture/UntRecentKeys.h"
#include "events/UntItemObj.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The actions of a change record (FILE_ACTION_ADDED and the rest).
enum TDirAction : std::uint32_t {
    kDirAdded = 1,
    kDirRemoved = 2,
    kDirModified = 3,
    kDirRenamedOld = 4,
    kDirRenamedNew = 5,
};

struct TDirRecord {
    std::uint32_t action = 0;
    std::string name; // relative to the root, '\' separated, UTF-8
};

// What a path is when the decoder asks.
enum class TPathKind { Missing, File, Folder };

class TDirChangeDecoder {
public:
    using TClock = TModifyThrottle::TClock;
    using TTime = std::chrono::system_clock::time_point; // when a read completed, the events' time
    using TPathProbe = std::function<TPathKind(const std::string& path)>;

    TDirChangeDecoder(std::string root, const TEventKinds& kinds, TPathProbe probe);

    // The records of one completed read, in order, decoded from the front as far as they can be
    // told apart. A name added and already gone is a folder if something below it is named
    // later, a file if it is removed or renamed later with nothing named below it; until one of
    // them comes, it and the records after it wait for the next read (or for decodeHeld).
    void decode(std::vector<TDirRecord> records, TTime readTime, TClock::time_point now, std::vector<TItemObj>& out);
    // Since when records wait; none when nothing does.
    std::optional<TClock::time_point> heldSince() const { return heldSince_; }
    // Decodes the waiting records as they stand: a name gone with nothing named below it is a file.
    void decodeHeld(TClock::time_point now, std::vector<TItemObj>& out);
    // A read that lost its records: what waited, then Update Directory for the root. A rename
    // half seen is dropped.
    void overflow(TTime readTime, TClock::time_point now, std::vector<TItemObj>& out);
    // The watch ends: what waited is decoded, and an old name whose new name never came was
    // moved away, a removal.
    void finish(TClock::time_point now, std::vector<TItemObj>& out);

    const std::string& getRoot() const { return root_; }
    // Records with an unknown action or no name.
    std::uint64_t getUndecoded() const { return undecoded_; }
    const TKnownFolders& getKnownFolders() const { return known_; }

private:
    // Where the events of one call go, and the time of the record being decoded.
    struct TBatch {
        std::vector<TItemObj>& out;
        TClock::time_point now;
        TTime time{};
    };
    struct THeldRecord {
        TDirRecord record;
        TTime time;
    };

    std::string fullPath(const std::string& name) const { return prefix_ + name; }
    std::string carriedOver(std::string name) const;
    void noteRename(const std::string& from, const std::string& to);
    void forgetRenamesInto(const std::string& folder);
    void noteGone(const std::string& folder);
    void noteMade(const std::string& name);
    bool belowGone(std::string_view name) const;
    void indexAhead();
    bool namedBelowLater(const std::string& rawName, std::size_t index) const;
    bool goneLater(const std::string& rawName, std::size_t index) const;
    // Decodes held_ from the front; stops at an undecided added name unless final.
    void decodeHeldRecords(TBatch& batch, bool final);
    void emit(TBatch& batch, int eventNum, const std::string& name, const std::string& newName = {}) const;
    void removed(TBatch& batch, const std::string& name);
    void modified(TBatch& batch, const std::string& name, bool goesLater);
    void renamed(TBatch& batch, const std::string& from, const std::string& to, const std::string& rawTo,
                 std::size_t index);
    void flushRename(TBatch& batch);

    std::string root_;
    std::string prefix_; // the root with its trailing '\'
    TEventKinds kinds_;
    TPathProbe probe_;
    TKnownFolders known_;
    TModifyThrottle throttle_;
    // Old folder name (folded) to the name it was renamed to, for Wine's late names.
    std::unordered_map<std::string, std::string> renamedFolders_;
    // Folders removed or moved away (folded), the oldest forgotten first past a bound.
    std::unordered_set<std::string> goneFolders_;
    std::deque<std::string> goneOrder_;
    // The records not decoded yet, and for them: a folded name to the last record that names
    // something below it, and to the last record that removes it or renames it away.
    std::vector<THeldRecord> held_;
    std::unordered_map<std::string, std::size_t> namedBelow_;
    std::unordered_map<std::string, std::size_t> gone_;
    std::optional<TClock::time_point> heldSince_;
    std::optional<std::string> pendingOld_;
    TTime pendingTime_{};
    std::uint64_t undecoded_ = 0;
};
