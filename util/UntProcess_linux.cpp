#include "util/UntProcess_linux.h"

#include "util/UntOsHandle.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Only async-signal-safe calls from here: the parent may have other threads.
[[noreturn]] void runGrandchild(char* const* argv, int reportFd)
{
    setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, nullptr);
    sigaction(SIGCHLD, &dfl, nullptr);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        close(devNull);
    }
    // Nothing of ours (watch descriptors, sockets) leaks into the started program.
    if (reportFd > 3)
        close_range(3, static_cast<unsigned>(reportFd) - 1, 0);
    close_range(static_cast<unsigned>(reportFd) + 1, ~0u, 0);
    execvp(argv[0], argv);
    const int error = errno;
    [[maybe_unused]] const auto written = write(reportFd, &error, sizeof(error));
    _exit(127);
}

} // namespace

bool spawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    // Closed by a successful exec; carries errno when the exec failed.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;
    TFdObj readEnd(report[0]);
    TFdObj writeEnd(report[1]);
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // The middle process ends at once, so the program is adopted by init and never a zombie of ours.
        // It leaves by _exit, so no destructor runs here; closing is async-signal-safe.
        readEnd.close();
        const pid_t grandchild = fork();
        if (grandchild == 0)
            runGrandchild(args.data(), writeEnd.get());
        _exit(grandchild < 0 ? 1 : 0);
    }
    writeEnd.close();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = read(readEnd.get(), &error, sizeof(error))) < 0 && errno == EINTR) {
    }
    const bool middleOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return middleOk && got == 0;
}
