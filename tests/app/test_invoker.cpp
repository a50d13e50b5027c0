#include "app/UntQtInvoker.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

// Runs body on a background thread while the user-interface thread processes events.
template <class F> auto offThread(F body)
{
    auto future = std::async(std::launch::async, body);
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return future.get();
}

TEST(QtInvoker, StepsRunOnTheUserInterfaceThreadAndFailuresComeBack)
{
    QObject context;
    TQtInvoker invoker(&context);
    QThread* ui = QThread::currentThread();

    const bool ranOnUi = offThread([&] {
        bool onUi = false;
        invoker.synchronize([&] { onUi = QThread::currentThread() == ui; });
        return onUi;
    });
    EXPECT_TRUE(ranOnUi);

    const std::string message = offThread([&]() -> std::string {
        try {
            invoker.synchronize([] { throw std::runtime_error("step failed"); });
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no failure";
    });
    EXPECT_EQ(message, "step failed");

    bool direct = false;
    invoker.synchronize([&] { direct = true; }); // on the user-interface thread: no deadlock
    EXPECT_TRUE(direct);
}

TEST(QtInvoker, CloseReleasesAWaitingCallerAndTheQueuedStepNeverRuns)
{
    QObject context;
    TQtInvoker invoker(&context);
    std::atomic<bool> ran{false};
    std::promise<void> posted;
    auto waiting = std::async(std::launch::async, [&] {
        try {
            posted.set_value();
            invoker.synchronize([&] { ran = true; });
        } catch (const TSyncClosed&) {
            return true;
        }
        return false;
    });
    posted.get_future().wait();
    invoker.close(); // without processing events: the step may be queued but must not run later
    EXPECT_TRUE(waiting.get());
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran.load());
    EXPECT_THROW(invoker.synchronize([] {}), TSyncClosed);
}

} // namespace
