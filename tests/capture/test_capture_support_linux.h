// Real folders and child processes for the capture tests.
#pragma once

#include "tests/util/TestTempFolder.h"
#include "util/UntOsHandle.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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

// A program with its output in a file and its stderr read line by line; command[0] is its path.
// Killed and reaped when still running at the end.
class TProgramRun {
public:
    TProgramRun(const std::vector<std::string>& command, const std::string& outputFile)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        errFd_ = TFdObj(fds[0]);
        const TFdObj writeEnd(fds[1]);
        std::vector<const char*> argv;
        for (const auto& word : command)
            argv.push_back(word.c_str());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);
        pid_t pid = 0;
        if (::posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv.data()), environ) == 0)
            pid_ = pid;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TProgramRun()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            exitStatus();
        }
    }
    TProgramRun(const TProgramRun&) = delete;
    TProgramRun& operator=(const TProgramRun&) = delete;

    bool started() const { return pid_ > 0; }
    int pid() const { return pid_; }
    // Reads stderr until a line contains text; false at its end or after a generous deadline.
    bool waitForLine(const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            std::size_t end;
            while ((end = pending_.find('\n')) != std::string::npos) {
                const std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                errors_ += line + "\n";
                if (line.find(text) != std::string::npos)
                    return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd fd{errFd_.get(), POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buffer[4096];
            const ssize_t length = ::read(errFd_.get(), buffer, sizeof buffer);
            if (length <= 0)
                return false;
            pending_.append(buffer, static_cast<std::size_t>(length));
        }
    }
    void signal(int number) { ::kill(pid_, number); }
    // Waits for the program to end; its exit status.
    int exitStatus()
    {
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
            pid_ = -1;
            status_ = status;
        }
        return status_;
    }
    const std::string& errors() const { return errors_; }
    // Everything it wrote on stderr, read to the end (the program has ended).
    const std::string& allErrors()
    {
        while (waitForLine("\n")) {
        }
        errors_ += pending_;
        pending_.clear();
        return errors_;
    }

private:
    int pid_ = -1;
    TFdObj errFd_;
    int status_ = -1;
    std::string pending_;
    std::string errors_;
};
