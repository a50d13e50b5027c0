#include "capture/UntCaptureBackend.h"
#include "capture/UntShellNotifierObj_win.h"
#include "capture/UntShellNotify_win.h"
#include "pipeline/UntItemsStackThread.h"
#include "pipeline/UntSyncInvoker.h"
#include "util/UntWide.h"

#include "test_monitor_support.h"
#include "test_shellnotify_support_win.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

// The hidden window of this process: other programs under the same Wine server (a companion
// started by another test) have windows of the same class.
HWND ownHiddenWindow()
{
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, kHiddenWindowClass, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, kHiddenWindowClass, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId())
            return window;
    }
    return nullptr;
}

// The shell's parser refuses paths past 260 characters; the simple form is built per name.
PIDLIST_ABSOLUTE simpleIdList(const std::wstring& path)
{
    using TSimple = PIDLIST_ABSOLUTE(WINAPI*)(PCWSTR);
    const auto simple = reinterpret_cast<TSimple>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHSimpleIDListFromPath")));
    return simple ? simple(path.c_str()) : nullptr;
}

using namespace std::chrono_literals;

bool runsUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEventKinds allKinds()
{
    TEventKinds kinds;
    kinds.fill(true);
    return kinds;
}

// A monitor thread as the capture layer runs it: open, watches, loop.
class ShellMonitorTest : public testing::Test {
protected:
    void SetUp() override
    {
        queue_ =
            std::make_unique<TItemsStack>(invoker_, sink_, std::make_unique<TIntervalClock>(5ms), TPathStyle::Windows);
        queue_->start();
        auto choice = chooseBackend(TBackendKind::ShellNotify);
        ASSERT_TRUE(choice.backend);
        backend_ = std::move(choice.backend);
    }

    void TearDown() override
    {
        if (monitor_.joinable()) {
            backend_->stop();
            monitor_.join();
        }
        backend_.reset();
        queue_.reset();
    }

    // Starts the monitor thread; returns addWatch's answer per root once the loop is about to run.
    std::vector<bool> startMonitor(const std::vector<std::string>& roots, const TEventKinds& kinds = allKinds())
    {
        std::promise<std::vector<bool>> ready;
        auto answers = ready.get_future();
        monitor_ = std::thread([&, roots, kinds] {
            backend_->open(*queue_);
            std::vector<bool> results;
            for (const auto& root : roots)
                results.push_back(backend_->addWatch(root, kinds));
            ready.set_value(results);
            backend_->run();
        });
        auto results = answers.get();
        window_ = ownHiddenWindow();
        return results;
    }

    void stopMonitor()
    {
        backend_->stop();
        monitor_.join();
    }

    // Hands a notification to the hidden window as the shell does, and waits for it to be handled.
    void notify(UINT msg, PCIDLIST_ABSOLUTE first, PCIDLIST_ABSOLUTE second, std::uint32_t id)
    {
        PCIDLIST_ABSOLUTE pair[2] = {first, second};
        SendMessageW(window_, msg, reinterpret_cast<WPARAM>(pair), static_cast<LPARAM>(static_cast<LONG>(id)));
    }

    TDirectInvoker invoker_;
    TCollectingSink sink_;
    std::unique_ptr<TItemsStack> queue_;
    std::unique_ptr<TCaptureBackend> backend_;
    std::thread monitor_;
    HWND window_ = nullptr;
};

TEST_F(ShellMonitorTest, ShellNotificationsForCreateRenameAndAssociationAreQueued)
{
    TTempFolder folder;
    ASSERT_EQ(startMonitor({"C:\\"}), std::vector<bool>{true});
    ASSERT_NE(window_, nullptr);

    const std::wstring created = folder.path() + L"\\created.txt";
    ASSERT_TRUE(createEmptyFile(created));
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSH, created.c_str(), nullptr);
    EXPECT_TRUE(sink_.waitUntil([&](const auto& items) { return hasItem(items, toUtf8(created), "", evCreate); }));

    const std::wstring renamed = folder.path() + L"\\renamed.txt";
    ASSERT_TRUE(MoveFileW(created.c_str(), renamed.c_str()));
    SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_PATHW | SHCNF_FLUSH, created.c_str(), renamed.c_str());
    EXPECT_TRUE(sink_.waitUntil(
        [&](const auto& items) { return hasItem(items, toUtf8(created), toUtf8(renamed), evRenameFile); }));

    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr);
    EXPECT_TRUE(sink_.waitUntil([&](const auto& items) { return hasItem(items, "", "", evAssociation); }));

    EXPECT_EQ(backend_->counters().lostEvents(), 0u);
}

// Kinds Wine's shell does not pass on (the interrupt bit) and hand-built pairs go straight to
// the hidden window. No watch is registered, so nothing else reaches the queue.
TEST_F(ShellMonitorTest, WindowDecodesPairsIdentifiersAndLongPaths)
{
    TTempFolder folder;
    startMonitor({});
    ASSERT_NE(window_, nullptr);

    const std::wstring oldPath = folder.path() + L"\\old.txt";
    const std::wstring newPath = folder.path() + L"\\new.txt";
    ASSERT_TRUE(createEmptyFile(oldPath));
    ASSERT_TRUE(createEmptyFile(newPath));
    // Three nested folders of 100 characters: well past the 260-character limit.
    std::wstring longPath = folder.path();
    for (wchar_t c : {L'a', L'b', L'c'}) {
        longPath += L"\\" + std::wstring(100, c);
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + longPath).c_str(), nullptr));
    }
    longPath += L"\\deep.txt";
    ASSERT_TRUE(createEmptyFile(L"\\\\?\\" + longPath));
    ASSERT_GT(longPath.size(), static_cast<std::size_t>(MAX_PATH));

    TIdList oldList(ILCreateFromPathW(oldPath.c_str()));
    TIdList newList(ILCreateFromPathW(newPath.c_str()));
    TIdList longList(simpleIdList(longPath));
    TIdList marker(ILCreateFromPathW(folder.path().c_str()));
    ASSERT_TRUE(oldList.get() && newList.get() && marker.get());
    ASSERT_TRUE(longList.get());

    notify(kNotifyMessage, oldList.get(), newList.get(), SHCNE_RENAMEITEM | SHCNE_INTERRUPT);
    notify(kNotifyMessage, oldList.get(), nullptr, SHCNE_CREATE);
    notify(kNotifyMessage, nullptr, nullptr, SHCNE_ASSOCCHANGED | SHCNE_INTERRUPT);
    notify(kNotifyMessage, longList.get(), nullptr, SHCNE_UPDATEITEM);
    // Two flags at once, no flag, and another message number: none of them is an event.
    notify(kNotifyMessage, oldList.get(), nullptr, SHCNE_CREATE | SHCNE_DELETE);
    notify(kNotifyMessage, oldList.get(), nullptr, SHCNE_INTERRUPT);
    notify(kNotifyMessage + 1, oldList.get(), nullptr, SHCNE_CREATE);
    notify(kStopMessage + 100, oldList.get(), nullptr, SHCNE_CREATE);
    notify(kNotifyMessage, marker.get(), nullptr, SHCNE_UPDATEDIR);

    const std::string markerPath = toUtf8(folder.path());
    ASSERT_TRUE(sink_.waitUntil([&](const auto& items) { return hasItem(items, markerPath, "", evUpdateDir); }));
    const auto items = sink_.items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_TRUE(hasItem({items[0]}, toUtf8(oldPath), toUtf8(newPath), evRenameFile));
    EXPECT_TRUE(hasItem({items[1]}, toUtf8(oldPath), "", evCreate));
    EXPECT_TRUE(hasItem({items[2]}, "", "", evAssociation));
    // Windows gives the whole path. Wine's shell cuts every conversion near 260 characters
    // whatever the buffer, so there only the start of the path can be checked.
    const std::string longUtf8 = toUtf8(longPath);
    const std::string& gotLong = items[3].getItem1();
    if (runsUnderWine())
        EXPECT_TRUE(gotLong.size() >= MAX_PATH - 2 && longUtf8.starts_with(gotLong.substr(0, MAX_PATH - 2))) << gotLong;
    else
        EXPECT_EQ(gotLong, longUtf8);
    EXPECT_EQ(items[3].getEventNum(), evUpdateFile);
    EXPECT_TRUE(hasItem({items[4]}, markerPath, "", evUpdateDir));

    const TCaptureCounters counters = backend_->counters();
    EXPECT_EQ(counters.undecodedEvents, 2u);
    EXPECT_EQ(counters.unresolvedPaths, 0u);
    EXPECT_EQ(counters.lostEvents(), 2u);
}

TEST_F(ShellMonitorTest, ItemsWithoutAFileSystemPathAreQueuedAndCountedOnlyForPathKinds)
{
    startMonitor({});
    ASSERT_NE(window_, nullptr);
    PIDLIST_ABSOLUTE controls = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_CONTROLS, &controls)));
    TIdList virtualItem(controls);
    ASSERT_EQ(idListToPath(virtualItem.get()), "");

    notify(kNotifyMessage, virtualItem.get(), nullptr, SHCNE_UPDATEIMAGE); // never a path: not counted
    notify(kNotifyMessage, virtualItem.get(), nullptr, SHCNE_UPDATEDIR);   // should be one: counted
    ASSERT_TRUE(sink_.waitUntil([](const auto& items) { return items.size() >= 2; }));
    const auto items = sink_.items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(hasItem({items[0]}, "", "", evUpdateImage));
    EXPECT_TRUE(hasItem({items[1]}, "", "", evUpdateDir));
    EXPECT_EQ(backend_->counters().unresolvedPaths, 1u);
    EXPECT_EQ(backend_->counters().undecodedEvents, 0u);
}

TEST(ShellPathConversion, MissingListsAndPairsGiveEmptyPaths)
{
    EXPECT_EQ(pidlToPath(0, 1), "");
    PCIDLIST_ABSOLUTE pair[2] = {nullptr, nullptr};
    EXPECT_EQ(pidlToPath(reinterpret_cast<WPARAM>(pair), 1), "");
    EXPECT_EQ(pidlToPath(reinterpret_cast<WPARAM>(pair), 2), "");
    EXPECT_EQ(idListToPath(nullptr), "");

    wchar_t windowsDir[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryW(windowsDir, MAX_PATH), 0u);
    TIdList dir(ILCreateFromPathW(windowsDir));
    ASSERT_TRUE(dir.get());
    pair[1] = dir.get();
    EXPECT_EQ(pidlToPath(reinterpret_cast<WPARAM>(pair), 1), "");
    EXPECT_EQ(pidlToPath(reinterpret_cast<WPARAM>(pair), 2), toUtf8(windowsDir));
    EXPECT_EQ(pidlToPath(reinterpret_cast<WPARAM>(pair), 3), "");
}

TEST_F(ShellMonitorTest, StopEndsTheLoopAndDeregisters)
{
    TTempFolder folder;
    ASSERT_EQ(startMonitor({"C:\\"}), std::vector<bool>{true});
    const std::wstring before = folder.path() + L"\\before.txt";
    ASSERT_TRUE(createEmptyFile(before));
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSH, before.c_str(), nullptr);
    ASSERT_TRUE(sink_.waitUntil([&](const auto& items) { return hasItem(items, toUtf8(before), "", evCreate); }));

    stopMonitor();
    EXPECT_EQ(ownHiddenWindow(), nullptr);

    // With the worker ended, anything that still reached the queue would be counted as dropped.
    queue_->terminate();
    queue_->wait();
    const std::wstring after = folder.path() + L"\\after.txt";
    ASSERT_TRUE(createEmptyFile(after));
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSH, after.c_str(), nullptr);
    EXPECT_EQ(queue_->getDroppedCount(), 0u);
    EXPECT_FALSE(hasItem(sink_.items(), toUtf8(after), "", evCreate));
    backend_->stop(); // after the end: harmless
}

TEST_F(ShellMonitorTest, StopBeforeTheLoopIsKept)
{
    std::promise<void> opened;
    std::promise<void> go;
    auto goFuture = go.get_future();
    monitor_ = std::thread([&] {
        backend_->open(*queue_);
        opened.set_value();
        goFuture.wait();
        backend_->run();
    });
    opened.get_future().wait();
    backend_->stop();
    go.set_value();
    monitor_.join(); // returns only because the stop was kept
    EXPECT_EQ(ownHiddenWindow(), nullptr);
}

TEST_F(ShellMonitorTest, StopBeforeOpenIsKept)
{
    backend_->stop();
    monitor_ = std::thread([&] {
        backend_->open(*queue_);
        backend_->run();
    });
    monitor_.join(); // returns only because the stop was kept
    EXPECT_EQ(ownHiddenWindow(), nullptr);
}

TEST_F(ShellMonitorTest, UnparsableRootIsRefusedAndCounted)
{
    const auto answers = startMonitor({"C:\\no-such-folder-fm\\child", "C:\\"});
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));
    EXPECT_EQ(backend_->counters().refusedRoots, 1u);
}

TEST(BackendChoice, WindowsOffersOnlyShellNotifications)
{
    for (auto kind : {TBackendKind::Auto, TBackendKind::ShellNotify}) {
        auto choice = chooseBackend(kind);
        ASSERT_TRUE(choice.backend);
        EXPECT_EQ(choice.reason, kind == TBackendKind::Auto ? "shell change notifications: the one backend on Windows"
                                                            : "shell change notifications: asked for");
        EXPECT_EQ(choice.backend->name(), "shell change notifications");
    }
    auto fan = chooseBackend(TBackendKind::Fanotify);
    EXPECT_FALSE(fan.backend);
    EXPECT_NE(fan.reason.find("only available on Linux"), std::string::npos);
    auto ino = chooseBackend(TBackendKind::Inotify);
    EXPECT_FALSE(ino.backend);
    EXPECT_NE(ino.reason.find("only available on Linux"), std::string::npos);
}

TEST(ShellNotifierObj, EventMaskFollowsTheSwitches)
{
    TShellNotifierObj watch("C:\\", true);
    EXPECT_EQ(watch.getEventsMon(), 0u);
    watch.setAllEvents(true);
    EXPECT_EQ(watch.getEventsMon(), kFullEventMask);
    watch.setEventsMon(false, evRenameFile);
    EXPECT_EQ(watch.getEventsMon(), kFullEventMask & ~0x1u);
    watch.setEventsMon(false, 19);
    watch.setEventsMon(false, 0xFFFF);
    EXPECT_EQ(watch.getEventsMon(), kFullEventMask & ~0x1u);
    watch.setAllEvents(false);
    watch.setEventsMon(true, evCreate);
    watch.setEventsMon(true, 19);
    EXPECT_EQ(watch.getEventsMon(), 0x2u);
}

TEST(ShellNotifierObj, EntryCarriesTheListAndTheRecursiveFlag)
{
    TShellNotifierObj sub("C:\\", true);
    ASSERT_TRUE(sub.getStatusParse());
    EXPECT_TRUE(sub.getStatusAlloc());
    EXPECT_NE(sub.getNotifider().pidl, nullptr);
    EXPECT_EQ(static_cast<std::uint32_t>(sub.getNotifider().fRecursive), 0xFFFFFFFFu);
    EXPECT_EQ(sub.getNotifierHandle(), 0u);

    TShellNotifierObj flat("C:\\", false);
    ASSERT_TRUE(flat.getStatusParse());
    EXPECT_NE(flat.getNotifider().pidl, nullptr);
    EXPECT_EQ(flat.getNotifider().fRecursive, 0);

    TShellNotifierObj missing("C:\\no-such-folder-fm\\child", true);
    EXPECT_FALSE(missing.getStatusParse());
    EXPECT_EQ(missing.getNotifider().pidl, nullptr);
    EXPECT_EQ(missing.getNotifider().fRecursive, 0);
}

TEST(ShellNotifierObj, DestructionDeregistersTheWatch)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ULONG id = 0;
    {
        TShellNotifierObj watch("C:\\", true);
        watch.setAllEvents(true);
        const SHChangeNotifyEntry entry = watch.getNotifider();
        id = SHChangeNotifyRegister(window, kNotifySources, static_cast<LONG>(watch.getEventsMon()), kNotifyMessage, 1,
                                    &entry);
        ASSERT_NE(id, 0u);
        watch.setNotifierHandle(id);
        EXPECT_EQ(watch.getNotifierHandle(), id);
    }
    // Already gone: a second deregistration is refused.
    EXPECT_FALSE(SHChangeNotifyDeregister(id));
    DestroyWindow(window);
}

} // namespace
