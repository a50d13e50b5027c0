// filesmonitor-cli end to end: started as a program, fed by a workload in another process.
#include "capture/UntCaptureBackend.h"
#include "events/UntEvents.h"
#include "pipeline/UntEventFilters.h"
#include "pipeline/UntExportReport.h"
#include "pipeline/UntMakerLinks.h"
#include "tests/capture/test_capture_support_linux.h"
#include "util/UntFunctions.h"
#include "util/UntOsHandle.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <tuple>

namespace {

// The companion with its output in a file and its stderr read line by line.
class TCompanionProcess {
public:
    TCompanionProcess(const std::vector<std::string>& args, const std::string& outputFile)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        errFd_ = TFdObj(fds[0]);
        const TFdObj writeEnd(fds[1]);
        std::vector<const char*> argv = {FM_COMPANION_PATH};
        for (const auto& arg : args)
            argv.push_back(arg.c_str());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);
        pid_t pid = 0;
        if (::posix_spawn(&pid, FM_COMPANION_PATH, &actions, nullptr, const_cast<char* const*>(argv.data()), environ) ==
            0)
            pid_ = pid;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TCompanionProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            exitStatus();
        }
    }
    TCompanionProcess(const TCompanionProcess&) = delete;
    TCompanionProcess& operator=(const TCompanionProcess&) = delete;

    bool started() const { return pid_ > 0; }
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

private:
    int pid_ = -1;
    TFdObj errFd_;
    int status_ = -1;
    std::string pending_;
    std::string errors_;
};

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

class CompanionRun : public ::testing::Test {
protected:
    TTempFolder work;   // the watched folder
    TTempFolder output; // where the program writes, outside the watched folder
    void SetUp() override
    {
        const TBackendChoice choice = chooseBackend(TBackendKind::Fanotify);
        if (!choice.backend)
            GTEST_SKIP() << choice.reason;
    }
    std::string outputFile() const { return output.path() + "/out"; }
};

TEST_F(CompanionRun, AWorkloadShowsUpCompleteAndInOrderAsJson)
{
    TCompanionProcess program({"--root", work.path(), "--format", "json"}, outputFile());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    EXPECT_NE(program.errors().find("backend fanotify"), std::string::npos) << program.errors();

    const TShellRun run = runShell(work.path(), "mkdir d && : > d/a && mv d/a d/b && mkdir e && mv d/b e/c && "
                                                "mv d d2 && rm e/c && rmdir e && rmdir d2");
    ASSERT_TRUE(run.succeeded());
    program.signal(SIGINT);
    const int status = program.exitStatus();
    ASSERT_TRUE(WIFEXITED(status)) << program.errors();
    EXPECT_EQ(WEXITSTATUS(status), 0);

    using TSeen = std::tuple<int, std::string, std::string, std::string>;
    std::vector<TSeen> seen;
    // 2026-01-02T03:04:05.678Z
    auto isUtcTime = [](const std::string& text) {
        const std::string shape = "dddd-dd-ddTdd:dd:dd.dddZ";
        if (text.size() != shape.size())
            return false;
        for (std::size_t i = 0; i < shape.size(); ++i)
            if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
                return false;
        return true;
    };
    const std::string prefix = work.path() + "/";
    auto relative = [&](const std::string& path) {
        return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
    };
    for (const std::string& line : readLines(outputFile())) {
        const auto event = nlohmann::json::parse(line);
        EXPECT_TRUE(isUtcTime(event.at("time").get<std::string>())) << line;
        EXPECT_GT(event.at("pid").get<int>(), 0) << line;
        seen.emplace_back(event.at("event").get<int>(), event.at("action").get<std::string>(),
                          relative(event.at("path").get<std::string>()),
                          relative(event.at("newPath").get<std::string>()));
    }
    const std::vector<TSeen> expected = {
        {evMkDir, "New Directory", "d", ""},
        {evCreate, "Create", "d/a", ""},
        {evRenameFile, "Rename File", "d/a", "d/b"},
        {evMkDir, "New Directory", "e", ""},
        {evRenameFile, "Rename File", "d/b", "e/c"},
        {evRenameFolder, "Rename Folder", "d", "d2"},
        {evDelete, "Delete", "e/c", ""},
        {evRmDir, "Delete Directory", "e", ""},
        {evRmDir, "Delete Directory", "d2", ""},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(CompanionRun, TextRowsAndTheEndOfADuration)
{
    TCompanionProcess program({"--root", work.path(), "--duration", "1"}, outputFile());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    ASSERT_TRUE(runShell(work.path(), ": > a.txt").succeeded());
    const int status = program.exitStatus(); // ends by itself
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readLines(outputFile()), (std::vector<std::string>{"a.txt\t-\tCreate\t" + work.path() + "/\t"}));
}

// The report written at the end is the desktop export of the views that the printed events fill.
TEST_F(CompanionRun, TheReportHoldsWhatWasPrintedInTheExportFormat)
{
    const std::string report = output.path() + "/report.txt";
    TCompanionProcess program({"--root", work.path(), "--format", "json", "--duration", "3", "--report", report},
                              outputFile());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    ASSERT_TRUE(runShell(work.path(), "mkdir d && printf a > d/a.txt").succeeded());
    const int status = program.exitStatus();
    ASSERT_TRUE(WIFEXITED(status)) << program.errors();
    EXPECT_EQ(WEXITSTATUS(status), 0) << program.errors();

    TEventTree tree;
    TEventList list;
    for (const std::string& line : readLines(outputFile())) {
        const auto event = nlohmann::json::parse(line);
        const auto path = event.at("path").get<std::string>();
        const auto newPath = event.at("newPath").get<std::string>();
        const int number = event.at("event").get<int>();
        if (isTreeEvent(number))
            tree.addDirectoryFile(path, newPath, number);
        list.addListItem(path, newPath, number);
    }
    ASSERT_GT(list.rowCount(), 0u);
    const auto expected =
        buildReportText(takeReportSnapshot(tree, list, mainWindowCaption(getComputerName())), existingFileDigest);
    ASSERT_TRUE(expected);

    std::ifstream file(report, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, *expected);
    EXPECT_EQ(written.rfind("Generated by Velmora Windows Files Monitor v1.1 - " + getComputerName() +
                                "\r\nVelmora Software\r\n" + kMakerWebSite + "\r\n---\r\n\r\n",
                            0),
              0u);
    EXPECT_NE(written.find("-->a.txt - [MD5:0cc175b9c0f1b6a831c399e269772661]\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("a.txt\t-\tCreate\t" + work.path() + "/d/\t\r\n"), std::string::npos) << written;
}

TEST_F(CompanionRun, AReportThatCannotBeWrittenFailsTheRun)
{
    const std::string blocker = output.path() + "/blocker";
    std::ofstream(blocker) << "x";
    // The folder exists at the start and is replaced by a file before the end.
    const std::string folder = output.path() + "/gone";
    std::filesystem::create_directory(folder);
    TCompanionProcess program({"--root", work.path(), "--report", folder + "/report.txt"}, outputFile());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    std::filesystem::remove(folder);
    std::filesystem::rename(blocker, folder);
    program.signal(SIGTERM);
    EXPECT_TRUE(program.waitForLine("--report")) << program.errors();
    const int status = program.exitStatus();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
}

TEST_F(CompanionRun, SigtermEndsItCleanly)
{
    TCompanionProcess program({"--root", work.path()}, outputFile());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForLine("watching")) << program.errors();
    program.signal(SIGTERM);
    const int status = program.exitStatus();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(readLines(outputFile()).empty());
}

TEST_F(CompanionRun, BadArgumentsFailWithTheArgumentNamed)
{
    TCompanionProcess program({"--root", work.path(), "--format", "xml"}, outputFile());
    ASSERT_TRUE(program.started());
    EXPECT_TRUE(program.waitForLine("--format")) << program.errors();
    const int status = program.exitStatus();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
}

} // namespace
