#include "cli/UntCompanionConsole.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>

namespace {

// Far enough to mean "no end", near enough not to overflow a nanosecond clock.
constexpr double kLongestWait = 1e9;

} // namespace

struct TCompanionConsole::TState {
    sigset_t signals{};
    pthread_t mainThread{};
};

std::vector<std::string> companionArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

TCompanionConsole::TCompanionConsole() : state_(std::make_unique<TState>())
{
    // Taken by sigtimedwait; every thread started afterwards inherits the mask. The mask stays
    // after this object is gone, so a late wake-up cannot end the process.
    sigemptyset(&state_->signals);
    sigaddset(&state_->signals, SIGINT);
    sigaddset(&state_->signals, SIGTERM);
    sigaddset(&state_->signals, SIGUSR1); // wake()
    pthread_sigmask(SIG_BLOCK, &state_->signals, nullptr);
    state_->mainThread = pthread_self();
}

TCompanionConsole::~TCompanionConsole() = default;

void TCompanionConsole::wake()
{
    pthread_kill(state_->mainThread, SIGUSR1);
}

void TCompanionConsole::waitForStop(std::optional<double> seconds)
{
    using namespace std::chrono;
    const auto deadline =
        steady_clock::now() + duration_cast<nanoseconds>(duration<double>(std::min(seconds.value_or(0), kLongestWait)));
    for (;;) {
        int signal = 0;
        if (seconds) {
            const auto left = duration_cast<nanoseconds>(deadline - steady_clock::now()).count();
            if (left <= 0)
                return;
            const timespec wait{static_cast<std::time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
            signal = sigtimedwait(&state_->signals, nullptr, &wait);
        } else {
            signal = sigwaitinfo(&state_->signals, nullptr);
        }
        if (signal > 0)
            return;
    }
}

std::vector<TBackendName> companionBackends()
{
    return {{"auto", TBackendKind::Auto},
            {"fanotify", TBackendKind::Fanotify},
            {"helper", TBackendKind::Helper},
            {"inotify", TBackendKind::Inotify}};
}
