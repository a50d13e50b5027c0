// How the companion's main thread waits for its end: a wake-up from another thread or the
// end of the duration. (Signals and console events have their own platform tests.)
#include "cli/UntCompanionConsole.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(CompanionConsole, AWakeUpFromAnotherThreadEndsAnEndlessWait)
{
    TCompanionConsole console;
    std::thread waker([&] { console.wake(); });
    console.waitForStop(std::nullopt);
    waker.join();
    SUCCEED();
}

TEST(CompanionConsole, ADurationEndsTheWaitByItself)
{
    TCompanionConsole console;
    console.waitForStop(0.05);
    // A duration far beyond any clock's range still waits, and a wake-up still ends it.
    std::thread waker([&] { console.wake(); });
    console.waitForStop(1e300);
    waker.join();
    SUCCEED();
}

} // namespace
