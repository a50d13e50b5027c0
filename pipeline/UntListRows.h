// The rows a list view shows: every event, or, while finding, the events whose texts hold every
// word (the paths, the action's name, the process). The scan over the rows already listed runs
// in slices (stepFind), so a million rows never hold the window up; rows that arrive after it
// are judged as they come.
#pragma once

#include "pipeline/UntEventList.h"
#include "pipeline/UntFindWords.h"

#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

class TListRows final : public TListObserver {
public:
    using TClock = std::chrono::steady_clock;

    // Takes the list's notifications for as long as it lives.
    explicit TListRows(TEventList& list);
    ~TListRows() override;
    TListRows(const TListRows&) = delete;
    TListRows& operator=(const TListRows&) = delete;

    // Not owned; null to stop notifications. The rows change as a list does: insertions at the
    // end and resets.
    void setObserver(TListObserver* observer) { observer_ = observer; }
    const TEventList& list() const { return list_; }

    int rowCount() const { return static_cast<int>(isFinding() ? matches_.size() : list_.rowCount()); }
    // The list's row shown as row.
    std::size_t listRow(int row) const
    {
        return isFinding() ? matches_[static_cast<std::size_t>(row)] : static_cast<std::size_t>(row);
    }
    // The first row showing the list's row at or after listRow; rowCount() when there is none.
    int rowAtOrAfter(std::size_t listRow) const;

    // Empty words show every row; new words reset the rows and stepFind fills them.
    void setFindWords(TFindWords words);
    const TFindWords& getFindWords() const { return words_; }
    bool isFinding() const { return !words_.empty(); }
    bool isFindDone() const { return scanned_ >= list_.rowCount(); }
    // Judges rows until deadline; true when none is left. Each slice is one insertion at the end.
    bool stepFind(TClock::time_point deadline);
    bool matches(std::size_t listRow) const;

    std::size_t memoryBytes() const { return matches_.capacity() * sizeof(std::uint32_t); }

    // TListObserver
    void beginInsertRows(int firstRow, int count) override;
    void endInsertRows() override;
    void beginReset() override;
    void endReset() override;

private:
    void append(const std::vector<std::uint32_t>& found);

    TEventList& list_;
    TListObserver* observer_ = nullptr;
    TFindWords words_;
    std::vector<std::uint32_t> matches_; // the list's rows that match, in order
    std::size_t scanned_ = 0;            // rows before this one are judged
    int insertFirst_ = 0;
    int insertCount_ = 0;
    std::vector<std::uint32_t> found_;
    std::vector<std::string_view> actions_; // the event names, by number
};
