// The event list: one row per surviving event, in arrival order. Plain C++; the desktop
// program adapts it to a table model through TListObserver.
//
// Rows are stored compactly (a million of them are expected in a long recording): both paths
// in one shared text arena, the column texts derived from them on demand.
#pragma once

#include "events/UntItemObj.h"
#include "pipeline/UntMarks.h"
#include "pipeline/UntViewIcons.h"
#include "util/UntText.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct TListColumn {
    const char* caption;
    int width; // pixels
};
// The columns of the list and of its lines in the export report.
inline constexpr std::array<TListColumn, 4> kListColumns = {TListColumn{"From", 120}, TListColumn{"To", 120},
                                                            TListColumn{"Action", 100}, TListColumn{"Work Path", 255}};
// Columns the list view shows after those, hidden until asked for; never part of the report.
inline constexpr int kTimeColumn = 4;
inline constexpr int kProcessColumn = 5;
inline constexpr std::array<TListColumn, 2> kListViewColumns = {TListColumn{"Time", 90}, TListColumn{"Process", 140}};
inline constexpr int kListViewColumnCount = static_cast<int>(kListColumns.size() + kListViewColumns.size());

// Every begin call comes before the rows change, its end call after.
class TListObserver {
public:
    virtual ~TListObserver() = default;
    virtual void beginInsertRows(int firstRow, int count) = 0;
    virtual void endInsertRows() = 0;
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
};

// The row mark of an event kind: created green, deleted red, renamed blue.
int listMarkOf(int eventNum);

class TEventList {
public:
    explicit TEventList(std::shared_ptr<TIconSource> icons = std::make_shared<TNullIconSource>(),
                        TPathStyle style = kNativePathStyle);
    TEventList(const TEventList&) = delete;
    TEventList& operator=(const TEventList&) = delete;

    // Not owned; null to stop notifications.
    void setObserver(TListObserver* observer) { observer_ = observer; }

    void addListItem(const TItemObj& item);
    void addListItem(std::string_view item1, std::string_view item2, int eventNum, const TEventOrigin& origin = {});
    // Several rows with one insert notification.
    void addListItems(std::span<const TItemObj> items);
    // Rows gathered one by one during a hand-off and shown together: staged rows are kept but not
    // rows yet; publishStaged() makes them rows with one insert notification.
    void stageListItem(const TItemObj& item);
    void publishStaged();
    std::size_t stagedCount() const { return rows_.size() - published_; }
    void clear();

    std::size_t rowCount() const { return published_; }

    // The four columns; column 2 ("Action") is the only one that is not a view into the item.
    std::string_view getFrom(std::size_t row) const;
    std::string_view getTo(std::size_t row) const;
    std::string getAction(std::size_t row) const;
    std::string_view getWorkPath(std::size_t row) const;
    // The four report columns, then "Time" and "Process".
    std::string getColumnText(std::size_t row, int column) const;
    // The event's own time of day in local time with milliseconds (14:05:09.123); empty when the
    // backend gave none.
    std::string getTimeText(std::size_t row) const;
    // "name (pid)", the name or the pid alone, or empty: what the backend knew.
    std::string getProcessText(std::size_t row) const;
    std::string_view getProcessName(std::size_t row) const { return processNames_[rows_[row].process]; }

    int getRowIcon(std::size_t row) const { return rows_[row].rowIcon; }
    int getWorkPathIcon(std::size_t row) const { return rows_[row].pathIcon; }
    int getMark(std::size_t row) const { return listMarkOf(rows_[row].eventNum); }

    std::string_view getItem1(std::size_t row) const;
    std::string_view getItem2(std::size_t row) const;
    int getEventNum(std::size_t row) const { return rows_[row].eventNum; }
    TEventOrigin getOrigin(std::size_t row) const;

    // What the rows keep, in bytes.
    std::size_t memoryBytes() const;

private:
    struct TRow {
        const char* paths; // item1 then item2, in the arena
        std::uint32_t length1;
        std::uint32_t length2;
        std::int64_t time; // system_clock ticks since the epoch
        std::int32_t pid;
        std::uint32_t process; // index into processNames_
        std::int32_t rowIcon;
        std::int32_t pathIcon;
        std::int32_t eventNum;
    };
    // Append-only text storage in large blocks that never move.
    class TTextArena {
    public:
        const char* store(std::string_view a, std::string_view b);
        void clear();
        std::size_t bytes() const { return blocks_.size() * capacity_; }

    private:
        std::vector<std::unique_ptr<char[]>> blocks_;
        std::size_t used_ = 0;
        std::size_t capacity_ = 0;
    };

    TRow makeRow(std::string_view item1, std::string_view item2, int eventNum, const TEventOrigin& origin);
    std::uint32_t processIndex(const std::string& name);

    std::shared_ptr<TIconSource> icons_;
    TPathStyle style_;
    TListObserver* observer_ = nullptr;
    std::deque<TRow> rows_; // the rows, then the staged ones
    std::size_t published_ = 0;
    TTextArena texts_;
    std::vector<std::string> processNames_;
    std::unordered_map<std::string, std::uint32_t> processIndexes_;
};
