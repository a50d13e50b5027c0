#include "pipeline/UntListRows.h"

#include "events/UntEvents.h"

#include <algorithm>

TListRows::TListRows(TEventList& list) : list_(list)
{
    scanned_ = list_.rowCount();
    list_.setObserver(this);
}

TListRows::~TListRows()
{
    list_.setObserver(nullptr);
}

int TListRows::rowAtOrAfter(std::size_t listRow) const
{
    if (!isFinding())
        return static_cast<int>(std::min(listRow, list_.rowCount()));
    return static_cast<int>(std::lower_bound(matches_.begin(), matches_.end(), listRow) - matches_.begin());
}

bool TListRows::matches(std::size_t listRow) const
{
    const int eventNum = list_.getEventNum(listRow);
    const auto& names = eventNames();
    const std::string_view action = eventNum >= 0 && static_cast<std::size_t>(eventNum) < names.size()
                                        ? std::string_view(names[static_cast<std::size_t>(eventNum)])
                                        : std::string_view("Unknown");
    return words_.matchesAny({list_.getItem1(listRow), list_.getItem2(listRow), action, list_.getProcessName(listRow)});
}

void TListRows::setFindWords(TFindWords words)
{
    if (words == words_)
        return;
    if (observer_)
        observer_->beginReset();
    words_ = std::move(words);
    std::vector<std::uint32_t>().swap(matches_);
    scanned_ = isFinding() ? 0 : list_.rowCount();
    if (observer_)
        observer_->endReset();
}

bool TListRows::stepFind(TClock::time_point deadline)
{
    found_.clear();
    const std::size_t end = list_.rowCount();
    while (scanned_ < end) {
        if (matches(scanned_))
            found_.push_back(static_cast<std::uint32_t>(scanned_));
        ++scanned_;
        if (scanned_ % 1024 == 0 && TClock::now() >= deadline)
            break;
    }
    append(found_);
    return isFindDone();
}

void TListRows::append(const std::vector<std::uint32_t>& found)
{
    if (found.empty())
        return;
    const int first = static_cast<int>(matches_.size());
    if (observer_)
        observer_->beginInsertRows(first, static_cast<int>(found.size()));
    matches_.insert(matches_.end(), found.begin(), found.end());
    if (observer_)
        observer_->endInsertRows();
}

void TListRows::beginInsertRows(int firstRow, int count)
{
    insertFirst_ = firstRow;
    insertCount_ = count;
    if (!isFinding()) {
        if (observer_)
            observer_->beginInsertRows(firstRow, count);
    }
}

void TListRows::endInsertRows()
{
    if (!isFinding()) {
        scanned_ = list_.rowCount();
        if (observer_)
            observer_->endInsertRows();
        return;
    }
    // Rows behind an unfinished scan wait for it; after it, they are judged now.
    if (scanned_ != static_cast<std::size_t>(insertFirst_))
        return;
    found_.clear();
    for (std::size_t row = scanned_; row < static_cast<std::size_t>(insertFirst_ + insertCount_); ++row)
        if (matches(row))
            found_.push_back(static_cast<std::uint32_t>(row));
    scanned_ = static_cast<std::size_t>(insertFirst_ + insertCount_);
    append(found_);
}

void TListRows::beginReset()
{
    if (observer_)
        observer_->beginReset();
}

void TListRows::endReset()
{
    std::vector<std::uint32_t>().swap(matches_);
    scanned_ = isFinding() ? 0 : list_.rowCount();
    if (observer_)
        observer_->endReset();
}
