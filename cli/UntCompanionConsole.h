// The console the companion runs in: how a stop is asked for, the encoding of its arguments
// and of its output. One implementation file per platform.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The program's arguments as UTF-8, whatever the system's code page.
std::vector<std::string> companionArguments(int argc, char** argv);

// Create one before any thread starts and keep it until the monitor has stopped.
// Linux: SIGINT and SIGTERM ask for a stop. Windows: Ctrl+C, Ctrl+Break and closing the
// console do, and text reaches the console as UTF-8 while it lives.
class TCompanionConsole {
public:
    TCompanionConsole();
    ~TCompanionConsole();
    TCompanionConsole(const TCompanionConsole&) = delete;
    TCompanionConsole& operator=(const TCompanionConsole&) = delete;

    // From any thread: ends waitForStop (the monitor ended on its own).
    void wake();
    // Returns once a stop was asked for, wake() was called or the seconds have passed.
    void waitForStop(std::optional<double> seconds);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};
