#include "capture/UntCaptureBackend.h"
#include "capture/UntShellNotifierObj_win.h"
#include "capture/UntShellNotify_win.h"
#include "pipeline/UntItemsStackThread.h"
#include "pipeline/UntSyncInvoker.h"
#include "util/UntWide.h"

#include "test_shellnotify_support_win.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

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
        queue_ = std::make_unique<TItemsStack>(invoker_, sink_, std::make_unique<TIntervalClock>(5ms),
                                               TPathStyle::Windows);
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
        window_ = FindWindowExW(HWND_MESSAGE, nullptr, kHiddenWindowClass, nullptr);
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
    TRecordingSink sink_;
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
    EXPECT_TRUE(sink_.waitFor([&](const auto& items) { return hasItem(items, toUtf8(created), "", evCreate); }));

    const std::wstring renamed = folder.path() + L"\\renamed.txt";
    ASSERT_TRUE(MoveFileW(created.c_str(), renamed.c_str()));
    SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_PATHW | SHCNF_FLUSH, created.c_str(), renamed.c_str());
    EXPECT_TRUE(sink_.waitFor(
        [&](const auto& items) { return hasItem(items, toUtf8(created), toUtf8(renamed), evRenameFile); }));

    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr);
    EXPECT_TRUE(sink_.waitFor([&](const auto& items) { return hasItem(items, "", "", evAssociation); }));

    EXPECT_EQ(backend_->counters().lost(), 0u);
}

} // namespace
