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
#include <utility>
#include <vector>

extern char** environ;

// A folder on a disk filesystem (/var/tmp rather than /tmp, which may be a RAM filesystem),
// removed with everything in it.
class TTempFolder : public TTestTempFolder {
public:
    TTempFolder() : TTestTempFolder("/var/tmp") {}
};

// Starts command (command[0] is the program's path) with descriptors of this process as some of
// its standard ones: {fd, 0} makes fd its input. Its pid, or -1 when it could not be started.
inline int spawnProgram(const std::vector<std::string>& command,
                        std::initializer_list<std::pair<int, int>> standard = {})
{
    std::vector<const char*> argv;
    for (const std::string& word : command)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const auto& [fd, target] : standard)
        posix_spawn_file_actions_adddup2(&actions, fd, target);
    pid_t pid = 0;
    const bool started =
        ::posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv.data()), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started ? pid : -1;
}

// Runs script with /bin/sh in folder, in a child process; returns the child's pid (-1 when it
// could not be started) and its exit status.
struct TShellRun {
    int pid = -1;
    int status = -1;
    bool succeeded() const { return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

inline TShellRun runShell(const std::string& folder, const std::string& script)
{
    TShellRun run;
    run.pid = spawnProgram({"/bin/sh", "-c", "cd '" + folder + "' && " + script});
    if (run.pid > 0)
        ::waitpid(run.pid, &run.status, 0);
    return run;
}

// A program that lives on, reading its input, until released: its process name can still be read.
class TLingeringProcess {
public:
    explicit TLingeringProcess(const std::vector<std::string>& command)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0)
            return;
        const TFdObj readEnd(input[0]);
        release_ = TFdObj(input[1]);
        if (::pipe2(output, O_CLOEXEC) != 0)
            return;
        report_ = TFdObj(output[0]);
        const TFdObj writeEnd(output[1]);
        pid_ = spawnProgram(command, {{readEnd.get(), 0}, {writeEnd.get(), 1}});
    }
    ~TLingeringProcess() { release(); }
    TLingeringProcess(const TLingeringProcess&) = delete;
    TLingeringProcess& operator=(const TLingeringProcess&) = delete;
    int pid() const { return pid_; }
    // The first line it wrote; empty at its end or after a generous deadline.
    std::string firstLine()
    {
        std::string line;
        pollfd fd{report_.get(), POLLIN, 0};
        char c = 0;
        while (::poll(&fd, 1, 30000) > 0 && ::read(report_.get(), &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    // Lets it end and waits for it.
    void release()
    {
        release_.close();
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

private:
    int pid_ = -1;
    TFdObj release_;
    TFdObj report_;
};

// A shell that runs script in folder, then waits until released.
class TWaitingShell : public TLingeringProcess {
public:
    TWaitingShell(const std::string& folder, const std::string& script)
        : TLingeringProcess({"/bin/sh", "-c", "cd '" + folder + "' && " + script + " && read line"})
    {
    }
};

// A program with its output in a file and its stderr read line by line; command[0] is its path.
// Killed and reaped when still running at the end.
class TProgramRun {
public:
    TProgramRun(const std::vector<std::string>& command, const std::string& outputFile)
    {
        int fds[2];
        const TFdObj output(::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!output || ::pipe2(fds, O_CLOEXEC) != 0)
            return;
        errFd_ = TFdObj(fds[0]);
        const TFdObj writeEnd(fds[1]);
        pid_ = spawnProgram(command, {{output.get(), 1}, {writeEnd.get(), 2}});
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
