// SIGINT and SIGTERM end the companion's wait; they never end the process.
#include "cli/UntCompanionConsole.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

TEST(CompanionConsoleLinux, SigintAndSigtermAskForAStop)
{
    TCompanionConsole console;
    for (int signal : {SIGINT, SIGTERM}) {
        ASSERT_EQ(::raise(signal), 0);
        console.waitForStop(std::nullopt);
    }
    SUCCEED();
}

} // namespace
