// filesmonitor-cli.exe started as a program: help, a refused argument, a run that ends by itself
// after --duration naming its backend, and real file activity recorded through directory reads.
#include "events/UntEvents.h"
#include "tests/util/TestTempFolder.h"
#include "util/UntOsHandle.h"
#include "util/UntText.h"
#include "util/UntWide.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

std::wstring companionPath()
{
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    const std::filesystem::path folder = std::filesystem::path(self).parent_path();
    return (folder / nativePath(FM_COMPANION_RELATIVE)).lexically_normal().wstring();
}

// Quoted the way CommandLineToArgvW splits it back.
std::wstring quoted(const std::wstring& word)
{
    std::wstring text = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        text.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        text += c;
    }
    text.append(slashes * 2, L'\\');
    return text + L"\"";
}

THandleObj inheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return THandleObj(::CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The companion running with stdout and stderr in files; one still running at the end is killed.
class TCompanionRun {
public:
    explicit TCompanionRun(const std::vector<std::string>& args)
    {
        const std::wstring program = companionPath();
        std::wstring commandLine = quoted(program);
        for (const std::string& arg : args)
            commandLine += L" " + quoted(toWide(arg));
        const THandleObj out = inheritableFile(folder_.path("out.txt"));
        const THandleObj err = inheritableFile(folder_.path("err.txt"));
        if (!out || !err) {
            ADD_FAILURE() << "cannot create the output files";
            return;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &info)) {
            ADD_FAILURE() << "cannot start " << toUtf8(program) << ": error " << ::GetLastError();
            return;
        }
        process_ = THandleObj(info.hProcess);
        ::CloseHandle(info.hThread);
    }
    ~TCompanionRun()
    {
        if (process_ && !wait(0)) {
            ::TerminateProcess(process_.get(), 1);
            ::WaitForSingleObject(process_.get(), INFINITE);
        }
    }
    TCompanionRun(const TCompanionRun&) = delete;
    TCompanionRun& operator=(const TCompanionRun&) = delete;

    // True once the program has ended, within the milliseconds given.
    bool wait(DWORD milliseconds = 120000) const
    {
        return process_ && ::WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
    }
    DWORD exitCode() const
    {
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    std::string out() const { return readBytes(folder_.path("out.txt")); }
    std::string err() const { return readBytes(folder_.path("err.txt")); }
    // Until what the program printed holds text, while it runs and for a generous time at most.
    bool waitForText(const std::string& text, bool onStderr)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if ((onStderr ? err() : out()).find(text) != std::string::npos)
                return true;
            if (wait(20))
                return (onStderr ? err() : out()).find(text) != std::string::npos;
        }
        return false;
    }

private:
    TTestTempFolder folder_;
    THandleObj process_;
};

struct TRunResult {
    bool finished = false;
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// Runs the companion to its end; a run that does not end within a generous deadline is killed
// and reported as unfinished.
TRunResult runProgram(const std::vector<std::string>& args)
{
    TCompanionRun run(args);
    TRunResult result;
    result.finished = run.wait();
    if (result.finished)
        result.exitCode = run.exitCode();
    result.out = run.out();
    result.err = run.err();
    return result;
}

// The companion stops on Ctrl+C. A program under Wine has no console to send one through, so
// this one makes its own before it starts the companion, which shares it; its own output goes on
// where it went, and its handler ignores the key.
bool haveConsole()
{
    static const bool console = [] {
        ::FreeConsole();
        return ::AllocConsole() && ::SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
    }();
    return console;
}

TEST(CompanionExe, HelpListsTheOptionsAndSucceeds)
{
    const TRunResult run = runProgram({"--help"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    for (const char* option : {"--root", "--format", "--duration", "--backend", "shell", "rdcw"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option << " in\n" << run.out;
}

TEST(CompanionExe, ABadArgumentIsNamedWithAFailure)
{
    TTestTempFolder folder;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--format", "xml"}, "--format"},
        {{"--duration", "soon"}, "--duration"},
        {{"--backend", "fanotify"}, "--backend"},
        {{"--root", folder.path("missing")}, "--root"},
        {{"--colour"}, "--colour"},
    };
    for (const auto& [args, named] : cases) {
        const TRunResult run = runProgram(args);
        ASSERT_TRUE(run.finished) << named;
        EXPECT_EQ(run.exitCode, 2u) << named;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

TEST(CompanionExe, ADurationEndsTheRunAndTheBackendIsNamedWithItsReason)
{
    TTestTempFolder folder;
    const std::string root = folder.path("");
    for (const char* backend : {"auto", "shell"}) {
        const TRunResult run =
            runProgram({"--root", root, "--format", "json", "--duration", "1", "--backend", backend});
        ASSERT_TRUE(run.finished) << backend;
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_NE(run.err.find("backend shell change notifications (shell change notifications: "), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("watching "), std::string::npos) << run.err;
        // Nothing happens in the folder, so nothing is printed.
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

// What the JSON line of an event says after its time.
std::string jsonEvent(int eventNum, const std::string& path, const std::string& newPath)
{
    const auto escaped = [](const std::string& text) {
        std::string result;
        for (char c : text)
            result += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return result;
    };
    return "\"event\":" + std::to_string(eventNum) + ",\"action\":\"" + getEventName(eventNum) + "\",\"path\":\"" +
           escaped(path) + "\",\"newPath\":\"" + escaped(newPath) + "\"}";
}

TEST(CompanionExe, RealActivityThroughDirectoryReadsIsPrintedCompleteAndInOrder)
{
    ASSERT_TRUE(haveConsole());
    TTestTempFolder folder;
    const auto at = [&](const std::string& name) { return toWide(folder.path(name)); };
    TCompanionRun run({"--root", folder.path(), "--format", "json", "--backend", "rdcw"});
    ASSERT_TRUE(run.waitForText("watching ", true)) << run.err();
    EXPECT_NE(run.err().find("backend ReadDirectoryChangesW (ReadDirectoryChangesW: asked for"), std::string::npos)
        << run.err();

    // Create with a write, rename a file, create a folder, rename a folder holding a file,
    // delete, remove the folder; the marker file last.
    const auto writeNew = [](const std::wstring& path, std::string_view text) {
        const THandleObj file(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        return file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size();
    };
    ASSERT_TRUE(writeNew(at("a.txt"), "x\n"));
    ASSERT_TRUE(::MoveFileW(at("a.txt").c_str(), at("b.txt").c_str()));
    ASSERT_TRUE(::CreateDirectoryW(at("d").c_str(), nullptr));
    ASSERT_TRUE(::MoveFileW(at("b.txt").c_str(), at("d\\b.txt").c_str()));
    ASSERT_TRUE(::MoveFileW(at("d").c_str(), at("e").c_str()));
    ASSERT_TRUE(::DeleteFileW(at("e\\b.txt").c_str()));
    ASSERT_TRUE(::RemoveDirectoryW(at("e").c_str()));
    ASSERT_TRUE(writeNew(at("end.marker"), ""));
    ASSERT_TRUE(run.waitForText(jsonEvent(evCreate, folder.path("end.marker"), ""), false)) << run.out();
    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.exitCode(), 0u) << run.err();

    const std::vector<std::string> expected = {
        jsonEvent(evCreate, folder.path("a.txt"), ""),
        jsonEvent(evUpdateFile, folder.path("a.txt"), ""),
        jsonEvent(evRenameFile, folder.path("a.txt"), folder.path("b.txt")),
        jsonEvent(evMkDir, folder.path("d"), ""),
        jsonEvent(evRenameFile, folder.path("b.txt"), folder.path("d\\b.txt")),
        jsonEvent(evRenameFolder, folder.path("d"), folder.path("e")),
        jsonEvent(evDelete, folder.path("e\\b.txt"), ""),
        jsonEvent(evRmDir, folder.path("e"), ""),
    };
    std::vector<std::string> printed;
    for (const std::string& line : splitLines(run.out())) {
        const std::size_t event = line.find("\"event\":");
        ASSERT_EQ(line.rfind("{\"time\":\"", 0), 0u) << line;
        if (line.find(jsonEvent(evCreate, folder.path("end.marker"), "")) == std::string::npos)
            printed.push_back(line.substr(event));
    }
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(run.err().find(" lost"), std::string::npos) << run.err();
}

} // namespace
