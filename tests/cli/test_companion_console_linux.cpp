// SIGINT and SIGTERM end the companion's wait; they never end the process.
#include "cli/UntCompanionConsole.h"
#include "tests/TestDeadline.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

TEST(CompanionConsoleLinux, SigintAndSigtermAskForAStop)
{
    TCompanionConsole console; // blocks the signals in this thread and every later one
    for (int signal : {SIGINT, SIGTERM}) {
        ASSERT_EQ(::raise(signal), 0);
        // Taken by the wait, at once, rather than ending the process (the test would not go on).
        const auto waited = elapsedOf([&] { console.waitForStop(30.0); });
        EXPECT_LT(waited, std::chrono::seconds(10)) << "signal " << signal << " was not taken as a stop";
    }
}

} // namespace
