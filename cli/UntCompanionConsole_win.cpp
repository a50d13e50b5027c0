#include "cli/UntCompanionConsole.h"

#include "util/UntOsHandle.h"
#include "util/UntWide.h"

#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

// Far enough to mean "no end", near enough not to overflow a millisecond clock.
constexpr double kLongestWait = 1e9;
// Windows ends the process about five seconds after a console-close notice; stop before that.
constexpr DWORD kCloseGraceMs = 4000;

// The handler runs on a thread of the system's and has no context: it reaches these two.
// They live as long as the process, so a late handler never finds a closed handle.
THandleObj stopRequested;
THandleObj monitorStopped;

BOOL WINAPI onConsoleEvent(DWORD type)
{
    ::SetEvent(stopRequested.get());
    // After a close, log-off or shut-down notice the process ends when the handler returns:
    // give the main thread the time to stop the monitor and flush its output.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(monitorStopped.get(), kCloseGraceMs);
    return TRUE;
}

} // namespace

struct TCompanionConsole::TState {
    UINT outputCodePage = 0;
};

std::vector<std::string> companionArguments(int argc, char** argv)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> words(::CommandLineToArgvW(::GetCommandLineW(), &count),
                                                                &::LocalFree);
    if (!words)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i)
        result.push_back(toUtf8(words.get()[i]));
    return result;
}

TCompanionConsole::TCompanionConsole() : state_(std::make_unique<TState>())
{
    if (!stopRequested)
        stopRequested = THandleObj(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!monitorStopped)
        monitorStopped = THandleObj(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ::ResetEvent(stopRequested.get());
    ::ResetEvent(monitorStopped.get());
    ::SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
    // 0 when there is no console (output redirected from a detached process): nothing to set.
    state_->outputCodePage = ::GetConsoleOutputCP();
    if (state_->outputCodePage != 0)
        ::SetConsoleOutputCP(CP_UTF8);
}

TCompanionConsole::~TCompanionConsole()
{
    if (state_->outputCodePage != 0)
        ::SetConsoleOutputCP(state_->outputCodePage);
    ::SetEvent(monitorStopped.get());
    ::SetConsoleCtrlHandler(&onConsoleEvent, FALSE);
}

void TCompanionConsole::wake()
{
    ::SetEvent(stopRequested.get());
}

void TCompanionConsole::waitForStop(std::optional<double> seconds)
{
    using namespace std::chrono;
    if (!seconds) {
        ::WaitForSingleObject(stopRequested.get(), INFINITE);
        return;
    }
    const auto deadline =
        steady_clock::now() + duration_cast<milliseconds>(duration<double>(std::min(*seconds, kLongestWait)));
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return;
        const auto wait = static_cast<DWORD>(std::min<long long>(left, INFINITE - 1));
        if (::WaitForSingleObject(stopRequested.get(), wait) == WAIT_OBJECT_0)
            return;
    }
}
