#include "pipeline/UntEventList.h"

#include "events/UntEvents.h"
#include "util/UntFunctions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
constexpr std::size_t kArenaBlock = 1 << 20;
} // namespace

int listMarkOf(int eventNum)
{
    switch (eventNum) {
    case evCreate:
    case evMkDir:
        return mkCreated;
    case evDelete:
    case evRmDir:
        return mkDeleted;
    case evRenameFolder:
    case evRenameFile:
        return mkRenamed;
    default:
        return mkNone;
    }
}

const char* TEventList::TTextArena::store(std::string_view a, std::string_view b)
{
    const std::size_t size = a.size() + b.size();
    if (size == 0)
        return nullptr;
    if (capacity_ - used_ < size) {
        capacity_ = std::max(kArenaBlock, size);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
        used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    if (!a.empty())
        std::memcpy(at, a.data(), a.size());
    if (!b.empty())
        std::memcpy(at + a.size(), b.data(), b.size());
    used_ += size;
    return at;
}

void TEventList::TTextArena::clear()
{
    std::vector<std::unique_ptr<char[]>>().swap(blocks_);
    used_ = capacity_ = 0;
}

TEventList::TEventList(std::shared_ptr<TIconSource> icons, TPathStyle style)
    : icons_(icons ? std::move(icons) : std::make_shared<TNullIconSource>()), style_(style), processNames_{""}
{
}

std::uint32_t TEventList::processIndex(const std::string& name)
{
    if (name.empty())
        return 0;
    const auto [it, added] = processIndexes_.try_emplace(name, static_cast<std::uint32_t>(processNames_.size()));
    if (added)
        processNames_.push_back(name);
    return it->second;
}

TEventList::TRow TEventList::makeRow(std::string_view item1, std::string_view item2, int eventNum,
                                     const TEventOrigin& origin)
{
    TRow row{};
    row.paths = texts_.store(item1, item2);
    row.length1 = static_cast<std::uint32_t>(item1.size());
    row.length2 = static_cast<std::uint32_t>(item2.size());
    row.time = origin.time.time_since_epoch().count();
    row.pid = origin.pid;
    row.process = processIndex(origin.process);
    row.eventNum = eventNum;
    row.rowIcon = isFolderEvent(eventNum) ? icons_->windowsDirIcon() : icons_->extIcon(item1);
    row.pathIcon = icons_->pathIcon(folderPart(item1, style_));
    return row;
}

void TEventList::addListItem(const TItemObj& item)
{
    addListItem(item.getItem1(), item.getItem2(), item.getEventNum(), item.getOrigin());
}

void TEventList::addListItem(std::string_view item1, std::string_view item2, int eventNum, const TEventOrigin& origin)
{
    publishStaged();
    rows_.push_back(makeRow(item1, item2, eventNum, origin));
    publishStaged();
}

void TEventList::addListItems(std::span<const TItemObj> items)
{
    for (const TItemObj& item : items)
        stageListItem(item);
    publishStaged();
}

void TEventList::stageListItem(const TItemObj& item)
{
    rows_.push_back(makeRow(item.getItem1(), item.getItem2(), item.getEventNum(), item.getOrigin()));
}

void TEventList::publishStaged()
{
    const std::size_t count = rows_.size() - published_;
    if (count == 0)
        return;
    if (observer_)
        observer_->beginInsertRows(static_cast<int>(published_), static_cast<int>(count));
    published_ = rows_.size();
    if (observer_)
        observer_->endInsertRows();
}

void TEventList::clear()
{
    if (observer_)
        observer_->beginReset();
    std::deque<TRow>().swap(rows_);
    published_ = 0;
    texts_.clear();
    processNames_.assign(1, std::string());
    processIndexes_.clear();
    if (observer_)
        observer_->endReset();
}

std::string_view TEventList::getItem1(std::size_t row) const
{
    const TRow& r = rows_[row];
    return {r.paths, r.length1};
}

std::string_view TEventList::getItem2(std::size_t row) const
{
    const TRow& r = rows_[row];
    return r.length2 == 0 ? std::string_view{} : std::string_view{r.paths + r.length1, r.length2};
}

std::string_view TEventList::getFrom(std::size_t row) const
{
    const std::string_view item1 = getItem1(row);
    if (isBlank(item1))
        return "-";
    const std::string_view name = fileNamePart(item1, style_);
    return isBlank(name) ? item1 : name;
}

std::string_view TEventList::getTo(std::size_t row) const
{
    const std::string_view item2 = getItem2(row);
    return isBlank(item2) ? "-" : fileNamePart(item2, style_);
}

std::string TEventList::getAction(std::size_t row) const
{
    return getEventName(rows_[row].eventNum);
}

std::string_view TEventList::getWorkPath(std::size_t row) const
{
    return folderPart(getItem1(row), style_);
}

std::string TEventList::getColumnText(std::size_t row, int column) const
{
    switch (column) {
    case 0:
        return std::string(getFrom(row));
    case 1:
        return std::string(getTo(row));
    case 2:
        return getAction(row);
    case 3:
        return std::string(getWorkPath(row));
    case kTimeColumn:
        return getTimeText(row);
    case kProcessColumn:
        return getProcessText(row);
    default:
        return {};
    }
}

std::string TEventList::getTimeText(std::size_t row) const
{
    using namespace std::chrono;
    const system_clock::duration since(rows_[row].time);
    if (since.count() == 0)
        return {};
    const auto ms = floor<milliseconds>(since).count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const std::tm local = toLocalTime(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms - static_cast<long long>(seconds) * 1000));
    return text;
}

std::string TEventList::getProcessText(std::size_t row) const
{
    const std::string_view name = getProcessName(row);
    const int pid = rows_[row].pid;
    if (pid <= 0)
        return std::string(name);
    if (name.empty())
        return std::to_string(pid);
    return std::string(name) + " (" + std::to_string(pid) + ")";
}

std::size_t TEventList::memoryBytes() const
{
    std::size_t names = 0;
    for (const std::string& name : processNames_)
        names += sizeof name + name.capacity() + 32; // and its entry in the index
    return rows_.size() * sizeof(TRow) + texts_.bytes() + names;
}

TEventOrigin TEventList::getOrigin(std::size_t row) const
{
    const TRow& r = rows_[row];
    TEventOrigin origin;
    origin.time = std::chrono::system_clock::time_point(std::chrono::system_clock::duration(r.time));
    origin.pid = r.pid;
    origin.process = processNames_[r.process];
    return origin;
}
