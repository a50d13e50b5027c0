// Real folders and child processes for the capture tests.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

extern char** environ;

// A folder on a disk filesystem (/var/tmp rather than /tmp, which may be a RAM filesystem),
// removed with everything in it.
class TTempFolder {
public:
    TTempFolder()
    {
        std::string pattern = "/var/tmp/fmcapture.XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = std::filesystem::canonical(pattern).string();
    }
    ~TTempFolder()
    {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& path() const { return path_; }
    bool valid() const { return !path_.empty(); }

private:
    std::string path_;
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
