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

// The companion of this build with its output in a file and its stderr read line by line.
class TCompanionProcess : public TProgramRun {
public:
    TCompanionProcess(const std::vector<std::string>& args, const std::string& outputFile)
        : TProgramRun(withProgram(args), outputFile)
    {
    }

private:
    static std::vector<std::string> withProgram(std::vector<std::string> args)
    {
        args.insert(args.begin(), FM_COMPANION_PATH);
        return args;
    }
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
