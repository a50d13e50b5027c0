// Real folders and child processes for the capture tests.
#pragma once

#include "tests/util/TestTempFolder.h"
#include "util/UntOsHandle.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

extern char** environ;

// A folder on a disk filesystem (/var/tmp rather than /tmp, which may be a RAM filesystem),
// removed with everything in it.
class TTempFolder : public TTestTempFolder {
public:
    TTempFolder() : TTestTempFolder("/var/tmp") {}
};

// Runs script with /bin/sh in folder, in a child process; returns the child's pid (-1 when it
// could not be started) and its exit status.
struct TShellRun {
    int pid = -1;
    int status = -1;
    bool succeeded() const { return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

inline TShellRun runShell(const std::string& folder, const std::string& script)
{
    const std::string command = "cd '" + folder + "' && " + script;
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    TShellRun run;
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return run;
    run.pid = pid;
    ::waitpid(pid, &run.status, 0);
    return run;
}

// A shell that runs script and then waits, alive, until released: its process name can still be read.
class TWaitingShell {
public:
    TWaitingShell(const std::string& folder, const std::string& script)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        const TFdObj readEnd(fds[0]);
        writeEnd_ = TFdObj(fds[1]);
        const std::string command = "cd '" + folder + "' && " + script + " && read line";
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, readEnd.get(), 0);
        posix_spawn_file_actions_addclose(&actions, writeEnd_.get());
        pid_t pid = 0;
        if (::posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ) == 0)
            pid_ = pid;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TWaitingShell() { release(); }
    TWaitingShell(const TWaitingShell&) = delete;
    TWaitingShell& operator=(const TWaitingShell&) = delete;
    int pid() const { return pid_; }
    // Lets the shell end and waits for it.
    void release()
    {
        writeEnd_.close();
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

private:
    int pid_ = -1;
    TFdObj writeEnd_;
};
