// The directory-change backend on real files: the workloads of the Linux capture tests, made
// by this program with ordinary Win32 calls and recorded through the monitor thread. Nothing is
// announced to the shell: every event comes from the file system.
#include "capture/UntDirChanges_win.h"
#include "pipeline/UntItemsStackThread.h"
#include "pipeline/UntSyncInvoker.h"
#include "util/UntOsHandle.h"
#include "util/UntWide.h"

#include "test_monitor_support.h"
#include "test_shellnotify_support_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <thread>
#include <tuple>

namespace {

using namespace std::chrono_literals;
using TSeen = std::tuple<int, std::string, std::string>; // event, path, new path

// A new file with text written into it through its handle.
bool writeFile(const std::wstring& path, std::string_view text = "x\n")
{
    const THandleObj file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

bool appendTo(const std::wstring& path, std::string_view text)
{
    const THandleObj file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool moveTo(const std::wstring& from, const std::wstring& to, DWORD flags = 0)
{
    return MoveFileExW(from.c_str(), to.c_str(), flags) != 0;
}

bool removeFile(const std::wstring& path)
{
    return DeleteFileW(path.c_str()) != 0;
}

bool removeFolder(const std::wstring& path)
{
    return RemoveDirectoryW(path.c_str()) != 0;
}

// Wine watches a folder below the root once a program of its prefix has opened it, or once it
// was made while watched; Windows watches all of them. Looked into, as a user's browsing would,
// a folder is watched in both.
bool lookInto(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    FindClose(listing);
    return true;
}

// Looked into at once: Wine watches a folder made while watched only once its server has seen
// it, which on a busy machine can come after what the test makes in it next; Windows watches
// the whole tree from the start.
bool makeFolder(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), nullptr) != 0 && lookInto(path);
}

// A recording of one temporary folder through the monitor thread, without the drive kinds
// (other programs under the same Wine server may add drives meanwhile).
class DirChangesCapture : public testing::Test {
protected:
    void SetUp() override
    {
        settings.events.assign(kEventCount, true);
        for (int kind : kShellOnlyKinds)
            settings.events[kind] = false;
        startRecording(sink);
    }
    void TearDown() override { stopRecording(); }

    void startRecording(TCollectingSink& into)
    {
        const std::string root = toUtf8(folder.path());
        monitor = std::make_unique<TShellMonitor>(
            invoker, settings, view, into, chooseBackend(TBackendKind::DirChanges),
            [root] { return std::vector<std::string>{root}; }, 50ms);
        monitor->start();
        ASSERT_TRUE(monitor->waitRecording()) << monitor->getFailure();
        ASSERT_EQ(monitor->counters().refusedRoots, 0u) << monitor->backendWarnings().front();
    }
    void stopRecording()
    {
        if (monitor) {
            monitor->stop();
            monitor->wait();
        }
    }

    std::wstring at(const std::wstring& name) const { return folder.path() + L"\\" + name; }
    std::string relative(const std::string& path) const
    {
        const std::string prefix = toUtf8(folder.path()) + "\\";
        return path.starts_with(prefix) ? path.substr(prefix.size()) : path;
    }
    std::vector<TSeen> seen(TCollectingSink& from) const
    {
        std::vector<TSeen> result;
        for (const TItemObj& item : from.items())
            result.emplace_back(item.getEventNum(), relative(item.getItem1()), relative(item.getItem2()));
        return result;
    }
    // A last file after the workload: once it is delivered, so is everything before it, in order.
    // Then the recording stops and what it saw before the marker is returned.
    std::vector<TSeen> finish(TCollectingSink& from)
    {
        const std::string marker = toUtf8(at(L"end.marker"));
        EXPECT_TRUE(writeFile(at(L"end.marker"), ""));
        EXPECT_TRUE(from.waitUntil([&](const std::vector<TItemObj>& items) {
            return !items.empty() && items.back().getItem1() == marker && items.back().getEventNum() == evCreate;
        })) << "the marker never came";
        stopRecording();
        std::vector<TSeen> result = seen(from);
        result.erase(std::find(result.begin(), result.end(), TSeen{evCreate, "end.marker", ""}), result.end());
        return result;
    }
    std::vector<TSeen> finish() { return finish(sink); }
    void expectNothingLost() const
    {
        const TCaptureCounters counters = monitor->counters();
        EXPECT_EQ(counters.overflows, 0u);
        EXPECT_EQ(counters.refusedRoots, 0u);
        EXPECT_EQ(counters.unresolvedPaths, 0u);
        EXPECT_EQ(counters.undecodedEvents, 0u);
    }

    TCallLog log;
    TMarkingInvoker invoker;
    TFakeSettings settings{log};
    TFakeView view{log};
    TCollectingSink sink;
    TTempFolder folder;
    std::unique_ptr<TShellMonitor> monitor;
};

TEST_F(DirChangesCapture, EachFileAndFolderKind)
{
    ASSERT_TRUE(makeFolder(at(L"d")));
    ASSERT_TRUE(writeFile(at(L"d\\f")));
    ASSERT_TRUE(moveTo(at(L"d\\f"), at(L"d\\g")));
    ASSERT_TRUE(moveTo(at(L"d"), at(L"d2"))); // a folder holding a file
    ASSERT_TRUE(removeFile(at(L"d2\\g")));
    ASSERT_TRUE(removeFolder(at(L"d2")));
    EXPECT_EQ(finish(), (std::vector<TSeen>{{evMkDir, "d", ""},
                                            {evCreate, "d\\f", ""},
                                            {evUpdateFile, "d\\f", ""},
                                            {evRenameFile, "d\\f", "d\\g"},
                                            {evRenameFolder, "d", "d2"},
                                            {evDelete, "d2\\g", ""},
                                            {evRmDir, "d2", ""}}));
    expectNothingLost();
}

TEST_F(DirChangesCapture, RenamesAcrossFoldersAndOverAnExistingFile)
{
    ASSERT_TRUE(makeFolder(at(L"x")) && makeFolder(at(L"y")));
    ASSERT_TRUE(writeFile(at(L"x\\a"), ""));
    ASSERT_TRUE(moveTo(at(L"x\\a"), at(L"y\\a")));
    ASSERT_TRUE(writeFile(at(L"b"), "") && writeFile(at(L"c"), ""));
    ASSERT_TRUE(moveTo(at(L"b"), at(L"c"), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(finish(), (std::vector<TSeen>{{evMkDir, "x", ""},
                                            {evMkDir, "y", ""},
                                            {evCreate, "x\\a", ""},
                                            {evRenameFile, "x\\a", "y\\a"},
                                            {evCreate, "b", ""},
                                            {evCreate, "c", ""},
                                            {evRenameFile, "b", "c"}}));
    expectNothingLost();
}

TEST_F(DirChangesCapture, RenameOfAFolderMovesThePathsBelowIt)
{
    ASSERT_TRUE(makeFolder(at(L"x")) && makeFolder(at(L"x\\s")));
    ASSERT_TRUE(writeFile(at(L"x\\s\\a"), ""));
    ASSERT_TRUE(moveTo(at(L"x"), at(L"z")));
    ASSERT_TRUE(writeFile(at(L"z\\s\\b"), ""));
    ASSERT_TRUE(removeFile(at(L"z\\s\\a")));
    EXPECT_EQ(finish(), (std::vector<TSeen>{{evMkDir, "x", ""},
                                            {evMkDir, "x\\s", ""},
                                            {evCreate, "x\\s\\a", ""},
                                            {evRenameFolder, "x", "z"},
                                            {evCreate, "z\\s\\b", ""},
                                            {evDelete, "z\\s\\a", ""}}));
    expectNothingLost();
}

TEST_F(DirChangesCapture, AChildOfADeletedFolderKeepsItsPath)
{
    ASSERT_TRUE(makeFolder(at(L"g")) && makeFolder(at(L"g\\h")));
    ASSERT_TRUE(writeFile(at(L"g\\h\\f"), ""));
    ASSERT_TRUE(removeFile(at(L"g\\h\\f")) && removeFolder(at(L"g\\h")) && removeFolder(at(L"g")));
    EXPECT_EQ(finish(), (std::vector<TSeen>{{evMkDir, "g", ""},
                                            {evMkDir, "g\\h", ""},
                                            {evCreate, "g\\h\\f", ""},
                                            {evDelete, "g\\h\\f", ""},
                                            {evRmDir, "g\\h", ""},
                                            {evRmDir, "g", ""}}));
    expectNothingLost();
}

TEST_F(DirChangesCapture, ArrivalOrderOfAMixedWorkload)
{
    ASSERT_TRUE(makeFolder(at(L"d")) && writeFile(at(L"d\\a"), "") && moveTo(at(L"d\\a"), at(L"d\\b")));
    ASSERT_TRUE(makeFolder(at(L"e")) && moveTo(at(L"d\\b"), at(L"e\\c")) && moveTo(at(L"d"), at(L"d2")));
    ASSERT_TRUE(writeFile(at(L"d2\\n"), "") && removeFile(at(L"e\\c")) && removeFolder(at(L"e")));
    ASSERT_TRUE(removeFile(at(L"d2\\n")) && removeFolder(at(L"d2")));
    EXPECT_EQ(finish(), (std::vector<TSeen>{
                            {evMkDir, "d", ""},
                            {evCreate, "d\\a", ""},
                            {evRenameFile, "d\\a", "d\\b"},
                            {evMkDir, "e", ""},
                            {evRenameFile, "d\\b", "e\\c"},
                            {evRenameFolder, "d", "d2"},
                            {evCreate, "d2\\n", ""},
                            {evDelete, "e\\c", ""},
                            {evRmDir, "e", ""},
                            {evDelete, "d2\\n", ""},
                            {evRmDir, "d2", ""},
                        }));
    expectNothingLost();
}

TEST_F(DirChangesCapture, MovesIntoAndOutOfTheTree)
{
    // In: the folder or file alone, as a move within one drive shows it; what it holds was not
    // made. Out: a removal, and nothing more from where it went, though Wine still names
    // m2\late as m\late.
    TTempFolder outside;
    const auto out = [&](const std::wstring& name) { return outside.path() + L"\\" + name; };
    ASSERT_TRUE(makeFolder(out(L"m")) && makeFolder(out(L"m\\n")) && writeFile(out(L"m\\n\\f"), ""));
    ASSERT_TRUE(writeFile(out(L"g"), ""));
    ASSERT_TRUE(moveTo(out(L"m"), at(L"m")) && moveTo(out(L"g"), at(L"g")));
    ASSERT_TRUE(lookInto(at(L"m")) && writeFile(at(L"m\\h"), ""));
    ASSERT_TRUE(moveTo(at(L"m"), out(L"m2")) && moveTo(at(L"g"), out(L"g2")));
    ASSERT_TRUE(writeFile(out(L"m2\\late"), ""));
    EXPECT_EQ(
        finish(),
        (std::vector<TSeen>{
            {evMkDir, "m", ""}, {evCreate, "g", ""}, {evCreate, "m\\h", ""}, {evRmDir, "m", ""}, {evDelete, "g", ""}}));
    expectNothingLost();
}

TEST_F(DirChangesCapture, FoldersThereBeforeTheRecordingAreKnownFromTheNamesBelowThem)
{
    stopRecording();
    ASSERT_TRUE(makeFolder(at(L"p")) && makeFolder(at(L"p\\q")) && makeFolder(at(L"p\\q\\r")));
    TCollectingSink second;
    startRecording(second);
    ASSERT_TRUE(lookInto(at(L"p")) && lookInto(at(L"p\\q")) && lookInto(at(L"p\\q\\r")));
    ASSERT_TRUE(writeFile(at(L"p\\q\\r\\f"), "") && removeFile(at(L"p\\q\\r\\f")));
    ASSERT_TRUE(removeFolder(at(L"p\\q\\r")) && removeFolder(at(L"p\\q")) && removeFolder(at(L"p")));
    EXPECT_EQ(finish(second), (std::vector<TSeen>{{evCreate, "p\\q\\r\\f", ""},
                                                  {evDelete, "p\\q\\r\\f", ""},
                                                  {evRmDir, "p\\q\\r", ""},
                                                  {evRmDir, "p\\q", ""},
                                                  {evRmDir, "p", ""}}));
    expectNothingLost();
}

TEST_F(DirChangesCapture, ADeepFolderMadeInOneGoGivesEveryEventOnce)
{
    std::vector<TSeen> expected;
    for (int i = 0; i < 20; ++i) {
        std::wstring path = at(L"a" + std::to_wstring(i));
        std::string relative = "a" + std::to_string(i);
        for (const wchar_t* part : {L"", L"\\b", L"\\c", L"\\d"}) {
            path += part;
            relative += toUtf8(part);
            ASSERT_TRUE(makeFolder(path));
            expected.emplace_back(evMkDir, relative, "");
        }
        ASSERT_TRUE(writeFile(path + L"\\f", ""));
        expected.emplace_back(evCreate, relative + "\\f", "");
    }
    EXPECT_EQ(finish(), expected);
    expectNothingLost();
}

TEST_F(DirChangesCapture, ABurstOfTenThousandFilesLosesNothing)
{
    for (int i = 0; i < 10000; ++i)
        ASSERT_TRUE(writeFile(at(L"f" + std::to_wstring(i)), ""));
    const auto seen = finish();
    ASSERT_EQ(seen.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(seen[i], (TSeen{evCreate, "f" + std::to_string(i), ""})) << "at " << i;
    expectNothingLost();
}

TEST_F(DirChangesCapture, UpdateFileAtMostOncePerFilePerSecond)
{
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(writeFile(at(L"f"), ""));
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(appendTo(at(L"f"), "more\n"));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    const auto seen = finish();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), (TSeen{evCreate, "f", ""}));
    const auto updates =
        std::count_if(seen.begin(), seen.end(), [](const TSeen& s) { return std::get<0>(s) == evUpdateFile; });
    EXPECT_GE(updates, 1);
    EXPECT_LE(updates, 1 + seconds.count() + 1);
}

TEST_F(DirChangesCapture, LongPathsAndNamesOutsideTheCodePageAreKeptWhole)
{
    // Three nested folders of 100 characters: well past MAX_PATH, made through the long form.
    std::wstring path = folder.path();
    std::string relative;
    std::vector<TSeen> expected;
    for (wchar_t c : {L'a', L'b', L'c'}) {
        path += L"\\" + std::wstring(100, c);
        relative += (relative.empty() ? "" : "\\") + std::string(100, static_cast<char>(c));
        ASSERT_TRUE(makeFolder(L"\\\\?\\" + path));
        expected.emplace_back(evMkDir, relative, "");
    }
    ASSERT_TRUE(writeFile(L"\\\\?\\" + path + L"\\deep.txt", ""));
    expected.emplace_back(evCreate, relative + "\\deep.txt", "");
    const std::string name = "\xc3\xbc"
                             "n"
                             "\xc3\xaf"
                             "c"
                             "\xc3\xb8"
                             "d"
                             "\xc3\xa9"
                             "-\xe6\x97\xa5\xe6\x9c\xac-\xf0\x9f\x98\x80.txt";
    ASSERT_TRUE(writeFile(at(toWide(name)), ""));
    expected.emplace_back(evCreate, name, "");
    ASSERT_GT(toUtf8(folder.path()).size() + relative.size(), static_cast<std::size_t>(MAX_PATH));
    EXPECT_EQ(finish(), expected);
    expectNothingLost();
}

TEST_F(DirChangesCapture, UntickedKindsAreNotReported)
{
    stopRecording();
    settings.events[evCreate] = false;
    settings.events[evMkDir] = false;
    TCollectingSink quiet;
    startRecording(quiet);
    ASSERT_TRUE(writeFile(at(L"a"), "") && removeFile(at(L"a")) && makeFolder(at(L"d")));
    // The marker's own Create is unticked too: wait for its removal instead.
    ASSERT_TRUE(writeFile(at(L"end"), "") && removeFile(at(L"end")));
    const std::string end = toUtf8(at(L"end"));
    ASSERT_TRUE(quiet.waitUntil([&](const auto& items) {
        return std::any_of(items.begin(), items.end(), [&](const TItemObj& item) { return item.getItem1() == end; });
    }));
    stopRecording();
    EXPECT_EQ(seen(quiet), (std::vector<TSeen>{{evDelete, "a", ""}, {evDelete, "end", ""}}));
}

TEST_F(DirChangesCapture, StopWakesTheThreadAtOnce)
{
    auto stopped = std::async(std::launch::async, [this] { stopRecording(); });
    ASSERT_EQ(stopped.wait_for(30s), std::future_status::ready);
    EXPECT_FALSE(monitor->isRunning());
    EXPECT_TRUE(monitor->getFailure().empty());
}

// The backend alone, its thread held back: a burst larger than the read's buffer is lost.
class DirChangesBackend : public testing::Test {
protected:
    void SetUp() override
    {
        queue =
            std::make_unique<TItemsStack>(invoker, sink, std::make_unique<TIntervalClock>(5ms), TPathStyle::Windows);
        queue->start();
        backend = chooseBackend(TBackendKind::DirChanges).backend;
        ASSERT_TRUE(backend);
        kinds.fill(true);
    }
    void TearDown() override
    {
        backend->stop();
        if (monitor.joinable())
            monitor.join();
    }

    TDirectInvoker invoker;
    TCollectingSink sink;
    std::unique_ptr<TItemsStack> queue;
    std::unique_ptr<TCaptureBackend> backend;
    TEventKinds kinds;
    std::thread monitor;
};

TEST_F(DirChangesBackend, ABurstWhileTheThreadIsHeldGivesUpdateDirectoryAndALostCount)
{
    TTempFolder folder;
    const std::string root = toUtf8(folder.path());
    std::promise<void> opened;
    std::promise<void> release;
    monitor = std::thread([&, wait = release.get_future()] {
        backend->open(*queue);
        EXPECT_TRUE(backend->addWatch(root, kinds));
        opened.set_value();
        wait.wait();
        backend->run();
    });
    opened.get_future().wait();
    // 3000 records of about 130 bytes: six times what one read holds.
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(writeFile(folder.path() + L"\\" + std::wstring(56, L'n') + std::to_wstring(10000 + i), ""));
    release.set_value();
    ASSERT_TRUE(sink.waitUntil([&](const auto& items) {
        return std::any_of(items.begin(), items.end(), [&](const TItemObj& item) {
            return item.getEventNum() == evUpdateDir && item.getItem1() == root;
        });
    }));
    const TCaptureCounters counters = backend->counters();
    EXPECT_GE(counters.overflows, 1u);
    EXPECT_EQ(counters.lostEvents(), counters.overflows);
}

TEST_F(DirChangesBackend, AMissingRootIsRefusedWithItsReasonAndTheOthersAreWatched)
{
    TTempFolder folder;
    monitor = std::thread([&] {
        backend->open(*queue);
        EXPECT_FALSE(backend->addWatch("C:\\no-such-folder-fm\\child", kinds));
        EXPECT_TRUE(backend->addWatch(toUtf8(folder.path()), kinds));
    });
    monitor.join();
    EXPECT_EQ(backend->counters().refusedRoots, 1u);
    ASSERT_EQ(backend->warnings().size(), 1u);
    EXPECT_NE(backend->warnings()[0].find("cannot watch C:\\no-such-folder-fm\\child: "), std::string::npos)
        << backend->warnings()[0];
}

// One FILE_NOTIFY_INFORMATION record, padded to a DWORD boundary.
void appendRecord(std::string& buffer, DWORD action, const std::wstring& name, bool last)
{
    const std::size_t start = buffer.size();
    const std::size_t header = offsetof(FILE_NOTIFY_INFORMATION, FileName);
    const std::size_t length = (header + name.size() * sizeof(wchar_t) + 3) / 4 * 4;
    buffer.resize(start + length, '\0');
    FILE_NOTIFY_INFORMATION record{};
    record.NextEntryOffset = last ? 0 : static_cast<DWORD>(length);
    record.Action = action;
    record.FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(buffer.data() + start, &record, header);
    std::memcpy(buffer.data() + start + header, name.data(), name.size() * sizeof(wchar_t));
}

TEST(DirRecords, RecordsAreReadInOrderAndABrokenBufferKeepsWhatCameBefore)
{
    std::string buffer;
    appendRecord(buffer, FILE_ACTION_ADDED, L"d\\f.txt", false);
    appendRecord(buffer, FILE_ACTION_RENAMED_OLD_NAME, L"x", false);
    appendRecord(buffer, FILE_ACTION_RENAMED_NEW_NAME, std::wstring(L"\x65e5\x672c") + L"\xD83D\xDE00", true);
    std::vector<TDirRecord> records;
    TDirParseResult parsed = parseDirRecords(buffer.data(), buffer.size(), records);
    EXPECT_TRUE(parsed.intact);
    EXPECT_EQ(parsed.inexactNames, 0u);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].action, static_cast<std::uint32_t>(kDirAdded));
    EXPECT_EQ(records[0].name, "d\\f.txt");
    EXPECT_EQ(records[1].action, static_cast<std::uint32_t>(kDirRenamedOld));
    EXPECT_EQ(records[2].name, "\xe6\x97\xa5\xe6\x9c\xac\xf0\x9f\x98\x80");

    // The last record claims more name than the read gave.
    records.clear();
    parsed = parseDirRecords(buffer.data(), buffer.size() - 8, records);
    EXPECT_FALSE(parsed.intact);
    EXPECT_EQ(records.size(), 2u);

    // A lone surrogate has no UTF-8 form: kept with a replacement character, and counted.
    std::string lone;
    appendRecord(lone, FILE_ACTION_REMOVED,
                 L"a\xD800"
                 L"b",
                 true);
    records.clear();
    parsed = parseDirRecords(lone.data(), lone.size(), records);
    EXPECT_TRUE(parsed.intact);
    EXPECT_EQ(parsed.inexactNames, 1u);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "a\xef\xbf\xbd"
                               "b");
}

} // namespace
