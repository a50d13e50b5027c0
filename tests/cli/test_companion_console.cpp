// How the companion's main thread waits for its end: a wake-up from another thread or the
// end of the duration. (Signals and console events have their own platform tests.)
#include "cli/UntCompanionConsole.h"
#include "tests/TestDeadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(CompanionConsole, AWakeUpFromAnotherThreadEndsAnEndlessWaitAndNothingElseDoes)
{
    runWithin(20s, "an endless wait woken from another thread", [] {
        TCompanionConsole console;
        std::atomic<bool> woken{false};
        std::thread waker([&] {
            std::this_thread::sleep_for(100ms); // the wait must not end before the wake-up
            woken = true;
            console.wake();
        });
        console.waitForStop(std::nullopt);
        EXPECT_TRUE(woken.load());
        waker.join();
    });
}

TEST(CompanionConsole, ADurationEndsTheWaitByItselfAfterThatLong)
{
    runWithin(20s, "a wait of 0.3 s", [] {
        TCompanionConsole console;
        const auto waited = elapsedOf([&] { console.waitForStop(0.3); });
        EXPECT_GE(waited, 290ms);
        EXPECT_LT(waited, 10s);
    });
}

TEST(CompanionConsole, ADurationBeyondAnyClockStillWaitsAndAWakeUpEndsIt)
{
    runWithin(20s, "a wait of 1e300 s woken from another thread", [] {
        TCompanionConsole console;
        std::atomic<bool> woken{false};
        std::thread waker([&] {
            std::this_thread::sleep_for(100ms);
            woken = true;
            console.wake();
        });
        console.waitForStop(1e300);
        EXPECT_TRUE(woken.load()); // not ended at once by an overflowing deadline
        waker.join();
    });
}

} // namespace
