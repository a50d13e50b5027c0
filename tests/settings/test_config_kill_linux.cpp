// kill -9 of a program while it saves config.ini, over and over: the file is always the old or
// the new one, never torn.
#include "settings/UntConfigStore.h"
#include "tests/settings/TestKillSettings.h"
#include "tests/util/TestTempFolder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

extern char** environ;

namespace {

TEST(ConfigKill, KilledWhileSavingLeavesTheOldOrTheNewFileNeverATornOne)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeSettings(folder.path("a.ini"), killTestSettings(0));
    writeSettings(folder.path("b.ini"), killTestSettings(1));
    const std::string a = readBytes(folder.path("a.ini"));
    const std::string b = readBytes(folder.path("b.ini"));
    ASSERT_NE(a, b);
    writeSettings(path, killTestSettings(0));

    std::mt19937 random(15);
    constexpr int kRounds = 200;
    int torn = 0;
    int sawA = 0;
    int sawB = 0;
    for (int round = 0; round < kRounds; ++round) {
        int saves[2] = {-1, -1};
        ASSERT_EQ(::pipe(saves), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, saves[1], 1);
        posix_spawn_file_actions_addclose(&actions, saves[0]);
        const char* argv[] = {FM_CONFIG_SAVER, path.c_str(), nullptr};
        pid_t pid = 0;
        const int spawned =
            ::posix_spawn(&pid, FM_CONFIG_SAVER, &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(saves[1]);
        ASSERT_EQ(spawned, 0);
        // Once a first save is complete the saver is busy saving without a pause; the kill then
        // lands anywhere in a save: the delay is what varies, not a wait for anything.
        char done = 0;
        const bool saved = ::read(saves[0], &done, 1) == 1;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        ::close(saves[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(saved) << "the saver ended before its first save in round " << round;
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver ended by itself in round " << round;
        const std::string now = readBytes(path);
        if (now == a)
            ++sawA;
        else if (now == b)
            ++sawB;
        else
            ++torn;
    }
    EXPECT_EQ(torn, 0) << "rounds " << kRounds;
    std::printf("kill rounds %d: old or new %d + %d, torn %d\n", kRounds, sawA, sawB, torn);
}

} // namespace
