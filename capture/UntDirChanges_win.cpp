#include <windows.h>

#include "capture/UntDirChanges_win.h"

#include "capture/UntShellNotify_win.h"
#include "events/UntEventSink.h"
#include "util/UntOsHandle.h"
#include "util/UntText.h"
#include "util/UntWide.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>

namespace {

std::string systemErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length > 0 && text)
        result = std::string(trimmed(toUtf8(std::wstring_view(text, length))));
    LocalFree(text);
    return result.empty() ? "error " + std::to_string(error) : result;
}

// Records of a name gone before it was decoded wait this long for a later read to tell whether
// it was a folder.
constexpr auto kLongestHold = std::chrono::milliseconds(100);

TPathKind pathKind(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(toWidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TPathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TPathKind::Folder : TPathKind::File;
}

// The kinds the reads give, and those left to the shell.
bool readsGiveAny(const TEventKinds& kinds)
{
    for (int kind : {evCreate, evDelete, evMkDir, evRenameFolder, evRenameFile, evRmDir, evUpdateDir, evUpdateFile})
        if (kinds[kind])
            return true;
    return false;
}

TEventKinds shellOnly(const TEventKinds& kinds)
{
    TEventKinds result{};
    for (int kind : kShellOnlyKinds)
        result[kind] = kinds[kind];
    return result;
}

// One root: its folder handle, the read in flight, and two buffers, so that the next read is
// asked for before the records of the last one are decoded.
struct TDirWatch {
    TDirWatch(std::string root, const TEventKinds& kinds) : decoder(std::move(root), kinds, pathKind) {}

    THandleObj folder;
    THandleObj done; // signalled when the read completes
    OVERLAPPED overlapped{};
    DWORD filter = 0;
    std::unique_ptr<DWORD[]> buffers[2]; // DWORD-aligned, as the records need
    int current = 0;                     // the buffer the read in flight fills
    bool reading = false;
    TDirChangeDecoder decoder;
};

class TDirChangesBackend final : public TCaptureBackend {
public:
    TDirChangesBackend() = default;
    ~TDirChangesBackend() override { cleanUp(); }
    TDirChangesBackend(const TDirChangesBackend&) = delete;
    TDirChangesBackend& operator=(const TDirChangesBackend&) = delete;

    std::string name() const override { return "ReadDirectoryChangesW"; }
    void open(TEventSink& queue) override;
    bool addWatch(const std::string& root, const TEventKinds& kinds) override;
    void run() override;
    void stop() override { receiver_.requestStop(); }
    TCaptureCounters counters() const override;
    std::vector<std::string> warnings() const override;

private:
    bool openReads(const std::string& root, const TEventKinds& kinds);
    bool arm(TDirWatch& watch);
    // The completed read of a watch: the next one asked for, then the records decoded and queued.
    void serve(TDirWatch& watch);
    void decodeRead(TDirWatch& watch, int buffer, DWORD bytes, std::vector<TItemObj>& items);
    // The records a watch holds back, once they waited long enough (all: now).
    void decodeHeld(TDirWatch& watch, bool all);
    // How long the wait may last: until the oldest held records are due.
    DWORD waitMilliseconds() const;
    void endWatch(TDirWatch& watch, DWORD error);
    void refuse(const std::string& text);
    void warn(const std::string& text);
    void cleanUp();

    TEventSink* queue_ = nullptr;
    std::atomic<std::uint64_t> overflows_{0};
    std::atomic<std::uint64_t> refusedRoots_{0};
    std::atomic<std::uint64_t> unresolvedPaths_{0};
    std::atomic<std::uint64_t> undecodedEvents_{0};
    mutable std::mutex warningsMutex_;
    std::vector<std::string> warnings_;
    // The reads end before the window and COM go.
    TShellNotifyReceiver receiver_;
    std::vector<std::unique_ptr<TDirWatch>> watches_; // OVERLAPPED must not move
};

void TDirChangesBackend::open(TEventSink& queue)
{
    queue_ = &queue;
    receiver_.open(queue);
}

void TDirChangesBackend::refuse(const std::string& text)
{
    refusedRoots_.fetch_add(1);
    warn(text);
}

void TDirChangesBackend::warn(const std::string& text)
{
    std::lock_guard lock(warningsMutex_);
    warnings_.push_back(text);
}

std::vector<std::string> TDirChangesBackend::warnings() const
{
    std::lock_guard lock(warningsMutex_);
    return warnings_;
}

TCaptureCounters TDirChangesBackend::counters() const
{
    // A refused shell registration leaves the root watched: it is a warning, not a refusal.
    const TCaptureCounters shell = receiver_.counters();
    TCaptureCounters result;
    result.overflows = overflows_.load();
    result.refusedRoots = refusedRoots_.load();
    result.unresolvedPaths = unresolvedPaths_.load() + shell.unresolvedPaths;
    result.undecodedEvents = undecodedEvents_.load() + shell.undecodedEvents;
    return result;
}

bool TDirChangesBackend::addWatch(const std::string& root, const TEventKinds& kinds)
{
    if (readsGiveAny(kinds) && !openReads(root, kinds))
        return false;
    const TEventKinds shellKinds = shellOnly(kinds);
    if (std::find(shellKinds.begin(), shellKinds.end(), true) != shellKinds.end() &&
        !receiver_.addWatch(root, shellKinds))
        warn(root + ": the shell refused its change notifications: no drive, media or share events there");
    return true;
}

bool TDirChangesBackend::openReads(const std::string& root, const TEventKinds& kinds)
{
    if (watches_.size() >= kMaxDirRoots) {
        refuse("cannot watch " + root + ": at most " + std::to_string(kMaxDirRoots) + " roots are read at once");
        return false;
    }
    auto watch = std::make_unique<TDirWatch>(root, kinds);
    watch->folder = THandleObj(CreateFileW(toWidePath(root).c_str(), FILE_LIST_DIRECTORY,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (watch->folder)
        watch->done = THandleObj(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!watch->folder || !watch->done) {
        refuse("cannot watch " + root + ": " + systemErrorText(GetLastError()));
        return false;
    }
    watch->overlapped.hEvent = watch->done.get();
    watch->filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;
    if (kinds[evUpdateFile])
        watch->filter |= FILE_NOTIFY_CHANGE_LAST_WRITE;
    for (auto& buffer : watch->buffers)
        buffer = std::make_unique<DWORD[]>(kDirReadBytes / sizeof(DWORD));
    if (!arm(*watch)) {
        refuse("cannot watch " + root + ": " + systemErrorText(GetLastError()));
        return false;
    }
    watches_.push_back(std::move(watch));
    return true;
}

bool TDirChangesBackend::arm(TDirWatch& watch)
{
    ResetEvent(watch.done.get());
    watch.reading =
        ReadDirectoryChangesW(watch.folder.get(), watch.buffers[watch.current].get(), static_cast<DWORD>(kDirReadBytes),
                              TRUE, watch.filter, nullptr, &watch.overlapped, nullptr) != 0;
    return watch.reading;
}

void TDirChangesBackend::decodeRead(TDirWatch& watch, int buffer, DWORD bytes, std::vector<TItemObj>& items)
{
    const auto readTime = std::chrono::system_clock::now();
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t before = watch.decoder.getUndecoded();
    // No records: the system dropped them, its own buffer was full.
    if (bytes == 0) {
        overflows_.fetch_add(1);
        watch.decoder.overflow(readTime, now, items);
    } else {
        std::vector<TDirRecord> records;
        const TDirParseResult parsed = parseDirRecords(watch.buffers[buffer].get(), bytes, records);
        unresolvedPaths_.fetch_add(parsed.inexactNames);
        if (!parsed.intact)
            undecodedEvents_.fetch_add(1);
        watch.decoder.decode(std::move(records), readTime, now, items);
    }
    undecodedEvents_.fetch_add(watch.decoder.getUndecoded() - before);
}

void TDirChangesBackend::decodeHeld(TDirWatch& watch, bool all)
{
    const auto since = watch.decoder.heldSince();
    const auto now = std::chrono::steady_clock::now();
    if (!since || (!all && now - *since < kLongestHold))
        return;
    std::vector<TItemObj> items;
    watch.decoder.decodeHeld(now, items);
    if (!items.empty())
        queue_->addItems(std::move(items));
}

void TDirChangesBackend::endWatch(TDirWatch& watch, DWORD error)
{
    watch.reading = false;
    warn(watch.decoder.getRoot() + ": no longer watched: " + systemErrorText(error));
    std::vector<TItemObj> items;
    watch.decoder.finish(std::chrono::steady_clock::now(), items);
    if (!items.empty())
        queue_->addItems(std::move(items));
}

void TDirChangesBackend::serve(TDirWatch& watch)
{
    DWORD bytes = 0;
    const bool completed = GetOverlappedResult(watch.folder.get(), &watch.overlapped, &bytes, FALSE) != 0;
    const DWORD error = completed ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_INCOMPLETE)
        return;
    // Wine says an overflow with this error; Windows with a read of no bytes.
    const bool overflow = error == ERROR_NOTIFY_ENUM_DIR;
    if (!completed && !overflow) {
        endWatch(watch, error); // the folder was removed, the drive left
        return;
    }
    const int filled = watch.current;
    watch.current ^= 1;
    const bool rearmed = arm(watch);
    const DWORD armError = rearmed ? ERROR_SUCCESS : GetLastError();
    std::vector<TItemObj> items;
    decodeRead(watch, filled, overflow ? 0 : bytes, items);
    if (!items.empty())
        queue_->addItems(std::move(items));
    if (!rearmed)
        endWatch(watch, armError);
}

DWORD TDirChangesBackend::waitMilliseconds() const
{
    std::optional<std::chrono::steady_clock::time_point> due;
    for (const auto& watch : watches_)
        if (const auto since = watch->decoder.heldSince())
            due = due ? std::min(*due, *since + kLongestHold) : *since + kLongestHold;
    if (!due)
        return INFINITE;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now());
    return static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0));
}

void TDirChangesBackend::run()
{
    std::vector<HANDLE> waits;
    while (!receiver_.stopRequested()) {
        waits.clear();
        for (const auto& watch : watches_)
            if (watch->reading)
                waits.push_back(watch->done.get());
        const DWORD woken = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(waits.size()), waits.data(),
                                                        waitMilliseconds(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_FAILED) {
            warn("the wait for changes failed: " + systemErrorText(GetLastError()));
            break;
        }
        if (!receiver_.dispatchWaiting())
            break;
        // Every completed read, not only the first: a busy root must not starve the others.
        for (const auto& watch : watches_) {
            if (watch->reading && HasOverlappedIoCompleted(&watch->overlapped))
                serve(*watch);
            decodeHeld(*watch, false);
        }
    }
    cleanUp();
}

void TDirChangesBackend::cleanUp()
{
    for (const auto& watch : watches_) {
        if (!watch->reading)
            continue;
        // What completed before the stop is still delivered; the read in flight must end before
        // its buffer goes.
        CancelIoEx(watch->folder.get(), &watch->overlapped);
        DWORD bytes = 0;
        const bool completed = GetOverlappedResult(watch->folder.get(), &watch->overlapped, &bytes, TRUE) != 0;
        const bool overflow = completed ? bytes == 0 : GetLastError() == ERROR_NOTIFY_ENUM_DIR;
        watch->reading = false;
        std::vector<TItemObj> items;
        if (queue_ && (completed || overflow))
            decodeRead(*watch, watch->current, overflow ? 0 : bytes, items);
        watch->decoder.finish(std::chrono::steady_clock::now(), items);
        if (queue_ && !items.empty())
            queue_->addItems(std::move(items));
    }
    watches_.clear();
    receiver_.close();
}

} // namespace

TDirParseResult parseDirRecords(const void* data, std::size_t size, std::vector<TDirRecord>& out)
{
    TDirParseResult result;
    const auto* bytes = static_cast<const unsigned char*>(data);
    constexpr std::size_t kHeader = offsetof(FILE_NOTIFY_INFORMATION, FileName);
    std::size_t offset = 0;
    for (;;) {
        if (offset > size || size - offset < kHeader) {
            result.intact = false;
            return result;
        }
        FILE_NOTIFY_INFORMATION header;
        std::memcpy(&header, bytes + offset, kHeader);
        const std::size_t nameBytes = header.FileNameLength;
        if (nameBytes % sizeof(wchar_t) != 0 || size - offset - kHeader < nameBytes) {
            result.intact = false;
            return result;
        }
        std::wstring wide(nameBytes / sizeof(wchar_t), L'\0');
        std::memcpy(wide.data(), bytes + offset + kHeader, nameBytes);
        TDirRecord& record = out.emplace_back();
        record.action = header.Action;
        if (!wide.empty()) {
            const int exact = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                                                  static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
            if (exact == 0)
                ++result.inexactNames;
            record.name = toUtf8(wide);
        }
        if (header.NextEntryOffset == 0)
            return result;
        offset += header.NextEntryOffset;
    }
}

std::unique_ptr<TCaptureBackend> makeDirChangesBackend()
{
    return std::make_unique<TDirChangesBackend>();
}
