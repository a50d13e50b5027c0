// The companion's lines, arguments and configuration, without capturing anything.
#include "cli/UntCompanion.h"
#include "cli/UntCompanionConsole.h"
#include "pipeline/UntExportReport.h"
#include "settings/UntConfigStore.h"
#include "tests/util/TestTempFolder.h"
#include "util/UntNameEscape.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace {

std::chrono::system_clock::time_point at(long long millis)
{
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(millis));
}

// The text with each '/' turned into this platform's path separator.
std::string n(std::string text)
{
    std::replace(text.begin(), text.end(), '/', pathSeparator(kNativePathStyle));
    return text;
}

TEST(CompanionText, RowsFollowTheListColumns)
{
    EXPECT_EQ(formatTextRow(TItemObj(n("/home/u/a.txt"), "", evCreate)), n("a.txt\t-\tCreate\t/home/u/\t"));
    EXPECT_EQ(formatTextRow(TItemObj(n("/home/u/a.txt"), n("/home/v/b.txt"), evRenameFile)),
              n("a.txt\tb.txt\tRename File\t/home/u/\t"));
    // A root has no file name: From is the path itself.
    EXPECT_EQ(formatTextRow(TItemObj(n("/"), "", evUpdateDir)), n("/\t-\tUpdate Directory\t/\t"));
    // An empty first path.
    EXPECT_EQ(formatTextRow(TItemObj("", "", evDriveAdd)), "-\t-\tAdding Drive\t\t");
    EXPECT_EQ(formatTextRow(TItemObj(n("/x"), "  ", 42)), n("x\t-\tUnknown\t/\t"));
}

TEST(CompanionJson, OneObjectPerEventWithOriginOnlyWhenKnown)
{
    const TItemObj known("/old/name", "/new/name", evRenameFile, {at(1767323045678), 4242, "mv"});
    EXPECT_EQ(formatJsonLine(known), R"({"time":"2026-01-02T03:04:05.678Z","event":13,"action":"Rename File",)"
                                     R"("path":"/old/name","newPath":"/new/name","pid":4242,"process":"mv"})");
    const TItemObj unknown("/a", "", evCreate, {at(5), 0, ""});
    EXPECT_EQ(formatJsonLine(unknown),
              R"({"time":"1970-01-01T00:00:00.005Z","event":2,"action":"Create","path":"/a","newPath":""})");
}

TEST(CompanionJson, NamesThatAreNotUtf8AreKeptExactlyAndSaidSo)
{
    // ff fe: not UTF-8. Every name of the object is escaped then, its backslashes too.
    const std::string line = formatJsonLine(TItemObj("/a\xff\xfe\"b", "/new\\name", evRenameFile, {at(0), 1, "x\\y"}));
    const auto parsed = nlohmann::json::parse(line);
    EXPECT_EQ(parsed["pathEncoding"], "escaped");
    EXPECT_EQ(parsed["path"].get<std::string>(), "/a\\xff\\xfe\"b");
    EXPECT_EQ(unescapeName(parsed["path"].get<std::string>()), "/a\xff\xfe\"b");
    EXPECT_EQ(unescapeName(parsed["newPath"].get<std::string>()), "/new\\name");
    EXPECT_EQ(unescapeName(parsed["process"].get<std::string>()), "x\\y");

    // Valid UTF-8, controls included, is written as it is: JSON escapes what it must.
    const std::string name = "/r\xC3\xA9sum\xC3\xA9\n\\x41.txt";
    const auto plain = nlohmann::json::parse(formatJsonLine(TItemObj(name, "", evCreate, {at(0), 0, ""})));
    EXPECT_EQ(plain["path"].get<std::string>(), name);
    EXPECT_FALSE(plain.contains("pathEncoding"));
}

#ifndef _WIN32
// Linux names may hold any byte but '/' and NUL; Windows names hold no control character and
// no backslash.
TEST(CompanionText, AHostileNameStaysInItsFieldOnOneLine)
{
    const std::string evil = "evil\nDelete\t-\tfake.txt\x1b[31mred";
    std::ostringstream out;
    TCompanionSink sink(out, TOutputFormat::Text, {});
    sink.listStep(TItemObj("/w/" + evil, "", evCreate));
    sink.listStep(TItemObj("/w/" + evil + "\\dir/" + evil, "/w/b\\c", evRenameFile));
    sink.batchEnd(false);
    std::vector<std::string> lines;
    std::istringstream read(out.str());
    for (std::string line; std::getline(read, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u) << out.str();
    EXPECT_EQ(lines[0], "evil\\nDelete\\t-\\tfake.txt\\x1b[31mred\t-\tCreate\t/w/\t");
    EXPECT_EQ(lines[1], "evil\\nDelete\\t-\\tfake.txt\\x1b[31mred\tb\\\\c\tRename File\t"
                        "/w/evil\\nDelete\\t-\\tfake.txt\\x1b[31mred\\\\dir/\t");
    // Four fields each, and every name comes back exactly.
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), '\t'), 4);
    EXPECT_EQ(unescapeName(lines[0].substr(0, lines[0].find('\t'))), evil);
}
#endif

TEST(CompanionSink, LinesOfAManyEventBatchAllArriveInOrder)
{
    // More than one write's worth of lines: the buffer is written when full and at the batch end.
    std::ostringstream out;
    TCompanionSink sink(out, TOutputFormat::Json, {});
    constexpr int kEvents = 5000;
    for (int i = 0; i < kEvents; ++i)
        sink.listStep(TItemObj("/w/f" + std::to_string(i), "", evCreate, {at(i), 7, "gen"}));
    sink.batchEnd(false);
    std::istringstream read(out.str());
    int count = 0;
    for (std::string line; std::getline(read, line); ++count)
        ASSERT_EQ(nlohmann::json::parse(line)["path"], "/w/f" + std::to_string(count));
    EXPECT_EQ(count, kEvents);
}

TEST(CompanionJson, TimesAreUtcWithMilliseconds)
{
    EXPECT_EQ(formatUtcTime(at(0)), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(formatUtcTime(at(951782400999)), "2000-02-29T00:00:00.999Z");
}

TEST(CompanionSink, ReportsOnlyEventsOfTheRootsAndFlushesPerBatch)
{
    std::ostringstream out;
    TCompanionSink sink(out, TOutputFormat::Text, {n("/w/root")});
    sink.batchStart(4);
    sink.listStep(TItemObj(n("/w/root/a"), "", evCreate));
    sink.listStep(TItemObj(n("/w/rootless/b"), "", evCreate));
    sink.listStep(TItemObj(n("/elsewhere/c"), n("/w/root/c"), evRenameFile));
    sink.listStep(TItemObj(n("/w/root"), "", evAttributes));
    sink.batchEnd(false);
    EXPECT_EQ(out.str(), n("a\t-\tCreate\t/w/root/\t\n"
                           "c\tc\tRename File\t/elsewhere/\t\n"
                           "root\t-\tAttributes\t/w/\t\n"));
}

TEST(CompanionReport, TheViewsKeepTheReportedEventsAsTheWindowWould)
{
    std::ostringstream out;
    TCompanionViews views;
    TCompanionSink sink(out, TOutputFormat::Text, {n("/w/root")}, &views);
    sink.batchStart(3);
    for (const TItemObj& item :
         {TItemObj(n("/w/root/d/a.txt"), "", evCreate), TItemObj(n("/w/other/b.txt"), "", evCreate),
          TItemObj(n("/w/root/d/a.txt"), "", evDelete)}) {
        sink.treeStep(item);
        sink.listStep(item);
    }
    sink.batchEnd(false);
    // "w", "root", "d" and "a.txt", marked deleted, below "/" where paths start with it; nothing of "/w/other".
    EXPECT_EQ(views.tree.nodeCount(), kNativePathStyle == TPathStyle::Posix ? 5u : 4u);
    ASSERT_EQ(views.list.rowCount(), 2u);
    EXPECT_EQ(views.list.getAction(1), "Delete");

    TTestTempFolder folder;
    const std::string target = folder.path("report.txt");
    ASSERT_TRUE(writeCompanionReport(target, views, "CAPTION"));
    std::ifstream file(nativePath(target), std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto expected = buildReportText(takeReportSnapshot(views.tree, views.list, "CAPTION"), existingFileDigest);
    ASSERT_TRUE(expected);
    EXPECT_EQ(written, *expected);
    EXPECT_EQ(written.rfind("Generated by CAPTION\r\n", 0), 0u);
    // A regular file where a folder should be.
    EXPECT_FALSE(writeCompanionReport(folder.path("report.txt/inside.txt"), views, "CAPTION"));
}

struct TArgs {
    explicit TArgs(std::vector<std::string> given = {}) : words(std::move(given)) {}
    std::vector<std::string> words;
    std::ostringstream out;
    std::ostringstream err;
    TParsedArgs parse()
    {
        std::vector<const char*> argv = {"filesmonitor-cli"};
        for (const auto& word : words)
            argv.push_back(word.c_str());
        return parseCompanionArgs(static_cast<int>(argv.size()), argv.data(), out, err);
    }
};

TEST(CompanionArgs, DefaultsAndEveryOption)
{
    TArgs none;
    auto parsed = none.parse();
    ASSERT_TRUE(parsed.options);
    EXPECT_TRUE(parsed.options->roots.empty());
    EXPECT_EQ(parsed.options->format, TOutputFormat::Text);
    EXPECT_FALSE(parsed.options->duration);
    EXPECT_EQ(parsed.options->backend, TBackendKind::Auto);
    EXPECT_FALSE(parsed.options->configNamed);
    EXPECT_TRUE(parsed.options->reportPath.empty());

    TTestTempFolder folder;
    std::filesystem::create_directories(folder.root() / "sub");
    // The backend this platform can be forced to.
    const TBackendName forced = backendNames().back();
    TArgs all({"--root", folder.path(""), "--root", folder.path("sub") + "/../sub", "--format", "json", "--duration",
               "2.5", "--backend", forced.name, "--report", folder.path("report.txt")});
    parsed = all.parse();
    ASSERT_TRUE(parsed.options) << all.err.str();
    const auto canonical = [&](const std::string& name) {
        return utf8Path(std::filesystem::canonical(nativePath(folder.path(name))));
    };
    EXPECT_EQ(parsed.options->roots, (std::vector<std::string>{canonical(""), canonical("sub")}));
    EXPECT_EQ(parsed.options->format, TOutputFormat::Json);
    EXPECT_DOUBLE_EQ(parsed.options->duration.value_or(0), 2.5);
    EXPECT_EQ(parsed.options->backend, forced.kind);
    EXPECT_EQ(parsed.options->reportPath, folder.path("report.txt"));
}

TEST(CompanionArgs, BadArgumentsAreNamed)
{
    TTestTempFolder folder;
    writeBytes(folder.path("file"), "x");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--root", folder.path("file")}, "--root"},
        {{"--format", "xml"}, "--format"},
        {{"--duration", "0"}, "--duration"},
        {{"--duration", "soon"}, "--duration"},
        {{"--backend", "kqueue"}, "--backend"},
        {{"--root", "/nonexistent/fm-root"}, "--root"},
        {{"--config", "/nonexistent/config.ini"}, "--config"},
        {{"--report", "/nonexistent/fm-folder/r.txt"}, "--report"},
        {{"--report", "/"}, "--report"},
    };
    for (const auto& [words, named] : cases) {
        TArgs args(words);
        const auto parsed = args.parse();
        EXPECT_FALSE(parsed.options) << named;
        EXPECT_EQ(parsed.exitCode, 2) << named; // a usage error, as command-line tools answer it
        EXPECT_NE(args.err.str().find(named), std::string::npos) << args.err.str();
    }
}

// What is wrong is said plainly, in one line, not as a range of 300 digits.
TEST(CompanionArgs, BadDurationsAndConfigsSayWhatIsWrong)
{
    TTestTempFolder folder;
    writeBytes(folder.path("locked.ini"), "[GLOBAL]\r\n");
    const std::string duration = "--duration: must be a number of seconds above 0";
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--duration", "-3"}, duration},
        {{"--duration", "0"}, duration},
        {{"--duration", "1e400"}, duration},
        {{"--duration", "nan"}, duration},
        {{"--duration", "5s"}, duration},
        {{"--config", folder.path("missing.ini")}, "--config: no such file: " + folder.path("missing.ini")},
        {{"--config", folder.path()}, "--config: is a folder: " + folder.path()},
    };
#ifndef _WIN32
    if (!runningAsRoot()) { // root reads any file, so the refusal cannot be seen as root
        std::filesystem::permissions(nativePath(folder.path("locked.ini")), std::filesystem::perms::none);
        cases.push_back({{"--config", folder.path("locked.ini")}, "--config: permission denied: "});
    }
#endif
    for (const auto& [words, said] : cases) {
        TArgs args(words);
        const auto parsed = args.parse();
        EXPECT_EQ(parsed.exitCode, 2) << said;
        const std::string err = args.err.str();
        EXPECT_EQ(err.rfind("filesmonitor-cli: " + said, 0), 0u) << err;
        EXPECT_LT(err.size(), 200u) << err;
    }
    TArgs fine({"--duration", "0.5"});
    ASSERT_TRUE(fine.parse().options);
}

TEST(CompanionArgs, HelpExitsCleanly)
{
    TArgs help({"--help"});
    const auto parsed = help.parse();
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exitCode, 0);
    EXPECT_NE(help.out.str().find("--root"), std::string::npos);
}

TEST(CompanionConfig, WithoutAFileEveryKindIsWatchedAndNothingFiltered)
{
    TCompanionOptions options;
    const TCompanionConfig config = loadCompanionConfig(options, "/nonexistent/program-folder/config.ini");
    for (bool on : config.kinds)
        EXPECT_TRUE(on);
    EXPECT_TRUE(config.excludedFolders.empty());
    EXPECT_TRUE(config.extensions.empty());

    options.configNamed = true;
    options.configPath = "/nonexistent/config.ini";
    EXPECT_THROW(loadCompanionConfig(options, "/"), std::runtime_error);
}

TEST(CompanionConfig, KindsAndFiltersComeFromTheStoredSettings)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    TSettingsData stored;
    stored.events[evCreate] = false;
    stored.events[evUpdateFile] = false;
    stored.extensions = {".txt", ".log"};
    stored.folders = {"/var/cache/"};
    writeSettings(path, stored);

    TCompanionOptions options;
    options.configNamed = true;
    options.configPath = path;
    const TCompanionConfig config = loadCompanionConfig(options, "/nonexistent/config.ini");
    EXPECT_FALSE(config.kinds[evCreate]);
    EXPECT_FALSE(config.kinds[evUpdateFile]);
    EXPECT_TRUE(config.kinds[evDelete]);
    EXPECT_EQ(config.extensions, ".txt\r\n.log\r\n");
    EXPECT_EQ(config.excludedFolders, "/var/cache/\r\n");
}

TEST(CompanionSettings, EveryGivenRootIsWatchedWithTheConfiguredKinds)
{
    TCompanionConfig config;
    config.kinds.fill(true);
    config.kinds[evDelete] = false;
    config.extensions = ".txt\r\n";
    const TCompanionSettings settings(config);
    EXPECT_EQ(settings.driveRowCount(), 0);
    ASSERT_EQ(settings.eventRowCount(), kEventCount);
    EXPECT_FALSE(settings.eventRowChecked(evDelete));
    EXPECT_TRUE(settings.eventRowChecked(evCreate));
    EXPECT_EQ(settings.extensionsText(), ".txt\r\n");
    EXPECT_FALSE(settings.autoClean());
}

TEST(CompanionDrives, EveryDriveOnceEndingWithASeparator)
{
    const auto roots = companionDriveRoots();
    for (const auto& root : roots)
        EXPECT_EQ(root.back(), pathSeparator(kNativePathStyle)) << root;
    EXPECT_EQ(std::set<std::string>(roots.begin(), roots.end()).size(), roots.size());
}

} // namespace
