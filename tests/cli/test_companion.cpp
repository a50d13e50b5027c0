// The companion's lines, arguments and configuration, without capturing anything.
#include "cli/UntCompanion.h"
#include "settings/UntConfigStore.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

#include <stdlib.h>

namespace {

std::chrono::system_clock::time_point at(long long millis)
{
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(millis));
}

TEST(CompanionText, RowsFollowTheListColumns)
{
    EXPECT_EQ(formatTextRow(TItemObj("/home/u/a.txt", "", evCreate)), "a.txt\t-\tCreate\t/home/u/\t");
    EXPECT_EQ(formatTextRow(TItemObj("/home/u/a.txt", "/home/v/b.txt", evRenameFile)),
              "a.txt\tb.txt\tRename File\t/home/u/\t");
    // A root has no file name: From is the path itself.
    EXPECT_EQ(formatTextRow(TItemObj("/", "", evUpdateDir)), "/\t-\tUpdate Directory\t/\t");
    // An empty first path.
    EXPECT_EQ(formatTextRow(TItemObj("", "", evDriveAdd)), "-\t-\tAdding Drive\t\t");
    EXPECT_EQ(formatTextRow(TItemObj("/x", "  ", 42)), "x\t-\tUnknown\t/\t");
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

TEST(CompanionJson, NamesThatAreNotUtf8StillGiveValidJson)
{
    const std::string line = formatJsonLine(TItemObj("/a\xff\"b", "", evCreate, {at(0), 1, "x"}));
    const auto parsed = nlohmann::json::parse(line);
    EXPECT_EQ(parsed["path"].get<std::string>(), "/a\xEF\xBF\xBD\"b");
}

TEST(CompanionJson, TimesAreUtcWithMilliseconds)
{
    EXPECT_EQ(formatUtcTime(at(0)), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(formatUtcTime(at(951782400999)), "2000-02-29T00:00:00.999Z");
}

TEST(CompanionSink, ReportsOnlyEventsOfTheRootsAndFlushesPerBatch)
{
    std::ostringstream out;
    TCompanionSink sink(out, TOutputFormat::Text, {"/w/root"});
    sink.batchStart(4);
    sink.listStep(TItemObj("/w/root/a", "", evCreate));
    sink.listStep(TItemObj("/w/rootless/b", "", evCreate));
    sink.listStep(TItemObj("/elsewhere/c", "/w/root/c", evRenameFile));
    sink.listStep(TItemObj("/w/root", "", evAttributes));
    sink.batchEnd(false);
    EXPECT_EQ(out.str(), "a\t-\tCreate\t/w/root/\t\n"
                         "c\tc\tRename File\t/elsewhere/\t\n"
                         "root\t-\tAttributes\t/w/\t\n");
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

    TArgs all({"--root", "/", "--root", "/usr/../usr", "--format", "json", "--duration", "2.5", "--backend", "fanotify"});
    parsed = all.parse();
    ASSERT_TRUE(parsed.options) << all.err.str();
    EXPECT_EQ(parsed.options->roots, (std::vector<std::string>{"/", "/usr"}));
    EXPECT_EQ(parsed.options->format, TOutputFormat::Json);
    EXPECT_DOUBLE_EQ(parsed.options->duration.value_or(0), 2.5);
    EXPECT_EQ(parsed.options->backend, TBackendKind::Fanotify);

    TArgs inotify({"--backend", "inotify"});
    parsed = inotify.parse();
    ASSERT_TRUE(parsed.options) << inotify.err.str();
    EXPECT_EQ(parsed.options->backend, TBackendKind::Inotify);
}

TEST(CompanionArgs, BadArgumentsAreNamed)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--format", "xml"}, "--format"},
        {{"--duration", "0"}, "--duration"},
        {{"--duration", "soon"}, "--duration"},
        {{"--backend", "kqueue"}, "--backend"},
        {{"--root", "/nonexistent/fm-root"}, "--root"},
        {{"--config", "/nonexistent/config.ini"}, "--config"},
        {{"--report", "r.txt"}, "--report"},
    };
    for (const auto& [words, named] : cases) {
        TArgs args(words);
        const auto parsed = args.parse();
        EXPECT_FALSE(parsed.options) << named;
        EXPECT_NE(parsed.exitCode, 0) << named;
        EXPECT_NE(args.err.str().find(named), std::string::npos) << args.err.str();
    }
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
    char pattern[] = "/tmp/fmconfig.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/config.ini";
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
    std::filesystem::remove_all(pattern);
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

TEST(CompanionDrives, RootsEndWithASeparatorInPathOrder)
{
    const auto roots = companionDriveRoots();
    for (const auto& root : roots)
        EXPECT_EQ(root.back(), '/') << root;
    EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
}

} // namespace
