// filesmonitor-cli.exe started as a program: help, a refused argument, and a run that ends by
// itself after --duration, naming its backend.
#include "tests/util/TestTempFolder.h"
#include "util/UntOsHandle.h"
#include "util/UntWide.h"

#include <gtest/gtest.h>

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

struct TRunResult {
    bool finished = false;
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

THandleObj inheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return THandleObj(::CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Runs the companion with stdout and stderr in files; a run that does not end within a
// generous deadline is killed and reported as unfinished.
TRunResult runProgram(const std::vector<std::string>& args)
{
    TTestTempFolder folder;
    TRunResult result;
    const std::wstring program = companionPath();
    std::wstring commandLine = quoted(program);
    for (const std::string& arg : args)
        commandLine += L" " + quoted(toWide(arg));
    {
        THandleObj out = inheritableFile(folder.path("out.txt"));
        THandleObj err = inheritableFile(folder.path("err.txt"));
        if (!out || !err) {
            ADD_FAILURE() << "cannot create the output files";
            return result;
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
            return result;
        }
        const THandleObj process(info.hProcess);
        const THandleObj thread(info.hThread);
        result.finished = ::WaitForSingleObject(process.get(), 120000) == WAIT_OBJECT_0;
        if (!result.finished) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), INFINITE);
        }
        ::GetExitCodeProcess(process.get(), &result.exitCode);
    }
    result.out = readBytes(folder.path("out.txt"));
    result.err = readBytes(folder.path("err.txt"));
    return result;
}

TEST(CompanionExe, HelpListsTheOptionsAndSucceeds)
{
    const TRunResult run = runProgram({"--help"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    for (const char* option : {"--root", "--format", "--duration", "--backend", "shell"})
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

} // namespace
