// The shell's folder picker: opened on the initial folder, answered as a user answers it.
#include <windows.h>

#include "settingsui/UntBrowseFolder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// The picker of this process, once it is shown; null while there is none.
HWND shownPicker()
{
    struct TSearch {
        HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0) {
                reinterpret_cast<TSearch*>(data)->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// From another thread, since the picker holds the test's own: presses one of its buttons as soon
// as it is up. A picker that returns without showing fails the test's expectations; one that stays
// up unseen is left to the runner's time limit.
std::thread press(int button)
{
    return std::thread([button] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (HWND picker = shownPicker()) {
                PostMessageW(picker, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

TEST(BrowseForFolder, OpensOnTheInitialFolderAndGivesTheChoiceOrNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = QDir::toNativeSeparators(dir.path()).toStdString();

    std::thread cancel = press(IDCANCEL);
    EXPECT_EQ(browseForFolder("Pick", folder, false), "");
    cancel.join();

    std::thread accept = press(IDOK);
    EXPECT_EQ(browseForFolder("Pick", folder, false), folder) << "OK at once takes the folder it opened on";
    accept.join();
}

} // namespace
