#include "cli/UntCompanion.h"

#include "cli/UntCompanionConsole.h"
#include "cli/UntCompanionJournal.h"
#include "cli/UntCompanionOptions.h"
#include "events/UntEvents.h"
#include "pipeline/UntExportReport.h"
#include "pipeline/UntMakerLinks.h"
#include "pipeline/UntSyncInvoker.h"
#include "settings/UntConfigPath.h"
#include "settings/UntConfigStore.h"
#include "util/UntFsPath.h"
#include "util/UntFunctions.h"
#include "util/UntText.h"
#include "util/UntTextFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

namespace {

constexpr const char* kProgram = "filesmonitor-cli";
constexpr std::size_t kLaterNotes = 5; // the notes of a whole tree walk could fill the screen

// Writes notes[from...] to stderr, at most limit of them and then how many more there were;
// returns notes.size().
std::size_t sayNotes(const std::vector<std::string>& notes, std::size_t from, std::size_t limit)
{
    for (std::size_t i = from; i < notes.size() && i - from < limit; ++i)
        std::cerr << kProgram << ": " << notes[i] << '\n';
    if (notes.size() > from + limit)
        std::cerr << kProgram << ": and " << notes.size() - from - limit << " more like these\n";
    return notes.size();
}

// Usage errors end with this code, as command-line tools do.
constexpr int kUsageExit = 2;

// --duration: a finite number of seconds above 0.
std::string checkDuration(const std::string& text)
{
    double value = 0;
    std::size_t used = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || used == 0 || !std::isfinite(value) || value <= 0)
        return "must be a number of seconds above 0";
    return {};
}

// --config: a file this user may read, found out before anything starts.
std::string checkConfig(const std::string& name)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(nativePath(name), error);
    if (!std::filesystem::exists(status))
        return "no such file: " + name;
    if (std::filesystem::is_directory(status))
        return "is a folder: " + name;
    if (!std::ifstream(nativePath(name)))
        return "permission denied: " + name;
    return {};
}

} // namespace

TParsedArgs parseCompanionArgs(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    CLI::App app{"Prints live file activity of the watched folders, one line per event.", kProgram};
    // Texts and choices from the one option table; checks and bindings here.
    const auto add = [&app](const std::string& name, auto& variable) {
        const TCompanionOption& row = companionOption(name);
        CLI::Option* option = app.add_option(row.name, variable, row.help);
        if (!row.choices.empty())
            option->check(CLI::IsMember(row.choices));
        return option;
    };
    std::vector<std::string> roots;
    std::string config;
    std::string format = "text";
    double duration = 0;
    std::string backend = "auto";
    std::string report;
    add("--root", roots);
    auto* configOption = add("--config", config)->check(checkConfig, "FILE");
    add("--format", format);
    auto* durationOption = add("--duration", duration)->check(checkDuration, "SECONDS");
    add("--report", report)->check([](const std::string& name) -> std::string {
        // Found out now rather than after a long recording.
        const std::filesystem::path parent = std::filesystem::absolute(nativePath(name)).parent_path();
        std::error_code error;
        if (!std::filesystem::is_directory(parent, error))
            return "no such folder: " + utf8Path(parent);
        if (std::filesystem::is_directory(nativePath(name), error))
            return "is a folder: " + name;
        return {};
    });
    add("--backend", backend);
    app.footer("Settings file in use without --config: " + configFilePath());
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return {std::nullopt, app.exit(help, out, err)};
    } catch (const CLI::CallForAllHelp& help) {
        return {std::nullopt, app.exit(help, out, err)};
    } catch (const CLI::ParseError& error) {
        err << kProgram << ": " << error.what() << "\nRun with --help for more information.\n";
        return {std::nullopt, kUsageExit};
    }

    TCompanionOptions options;
    for (const std::string& root : roots) {
        std::error_code error;
        const auto canonical = std::filesystem::canonical(nativePath(root), error);
        if (error || !std::filesystem::is_directory(canonical, error)) {
            err << kProgram << ": --root: " << root << ": " << (error ? error.message() : "not a folder") << '\n';
            return {std::nullopt, kUsageExit};
        }
        options.roots.push_back(utf8Path(canonical));
    }
    options.configPath = config;
    options.configNamed = configOption->count() > 0;
    options.format = format == "json"      ? TOutputFormat::Json
                     : format == "journal" ? TOutputFormat::Journal
                                           : TOutputFormat::Text;
    if (durationOption->count() > 0)
        options.duration = duration;
    options.backend = backendKindNamed(backend).value_or(TBackendKind::Auto);
    options.reportPath = report;
    return {options, 0};
}

TCompanionConfig loadCompanionConfig(const TCompanionOptions& options, const std::string& defaultPath)
{
    const std::string path = options.configNamed ? options.configPath : defaultPath;
    if (options.configNamed && !std::ifstream(nativePath(path)))
        throw std::runtime_error("--config: " + path + ": cannot be read");
    // A missing file gives the defaults: every kind, no filters.
    TSettingsData data;
    TCompanionConfig config;
    restoreSettings(path, data, &config.unreadLines);
    config.path = path;
    config.kinds = data.events;
    if (!data.folders.empty())
        config.excludedFolders = entriesToListText(data.folders);
    if (!data.extensions.empty())
        config.extensions = entriesToListText(data.extensions);
    return config;
}

bool TCompanionSink::isReported(const TItemObj& item) const
{
    if (roots_.empty())
        return true;
    return std::any_of(roots_.begin(), roots_.end(), [&](const std::string& root) {
        return isUnder(item.getItem1(), root, kNativePathStyle) || isUnder(item.getItem2(), root, kNativePathStyle);
    });
}

void TCompanionSink::treeStep(const TItemObj& item)
{
    if (views_ && isReported(item))
        views_->tree.addDirectoryFile(item.getItem1(), item.getItem2(), item.getEventNum());
}

void TCompanionSink::listStep(const TItemObj& item)
{
    if (!isReported(item))
        return;
    if (format_ == TOutputFormat::Journal) {
        if (!sendToJournal(journalFields(item)))
            ++journalRefused_;
    } else {
        writer_.append(buffer_, item);
        if (buffer_.size() >= kWriteAt)
            write();
    }
    if (views_)
        views_->list.addListItem(item);
}

bool writeCompanionReport(const std::string& fileName, const TCompanionViews& views, const std::string& caption)
{
    try {
        const std::optional<std::string> text =
            buildReportText(takeReportSnapshot(views.tree, views.list, caption), existingFileDigest);
        return text && saveTextToFile(fileName, *text);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void TCompanionSink::write()
{
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
}

void TCompanionSink::batchEnd(bool)
{
    write();
    out_.flush();
}

std::vector<std::string> companionDriveRoots()
{
    return splitLines(getFixedDrives());
}

int runCompanion(int argc, const char* const* argv)
{
    // Before any thread starts: the threads inherit how stop requests are taken.
    TCompanionConsole console;

    TParsedArgs parsed = parseCompanionArgs(argc, argv, std::cout, std::cerr);
    if (!parsed.options)
        return parsed.exitCode;
    const TCompanionOptions& options = *parsed.options;

    TCompanionConfig config;
    try {
        config = loadCompanionConfig(options, configFilePath());
    } catch (const std::exception& error) {
        std::cerr << kProgram << ": " << error.what() << '\n';
        return 2;
    }
    if (config.unreadLines > 0)
        std::cerr << kProgram << ": " << unreadSettingsText(config.path, config.unreadLines) << '\n';

    const std::vector<std::string> roots = options.roots.empty() ? companionDriveRoots() : options.roots;
    if (roots.empty()) {
        std::cerr << kProgram << ": no drive to watch\n";
        return 1;
    }
    TBackendChoice choice = chooseBackend(options.backend);
    if (!choice.backend) {
        std::cerr << kProgram << ": " << choice.reason << '\n';
        return 1;
    }
    std::cerr << kProgram << ": backend " << choice.backend->name() << " (" << choice.reason << ")\n";

    if (options.format == TOutputFormat::Journal) {
        const std::string error = openJournal(std::string(kProgram) + ": recording with the backend " +
                                              choice.backend->name() + " (" + choice.reason + ")");
        if (!error.empty()) {
            std::cerr << kProgram << ": --format journal: " << error << '\n';
            return 1;
        }
    }

    TDirectInvoker invoker;
    TCompanionSettings settings(config);
    TCompanionView view;
    // Kept only when a report is asked for: a long recording would otherwise grow without need.
    const auto views = options.reportPath.empty() ? nullptr : std::make_unique<TCompanionViews>();
    TCompanionSink sink(std::cout, options.format, options.roots, views.get());
    TShellMonitor monitor(invoker, settings, view, sink, std::move(choice), [roots] { return roots; });
    monitor.start();
    const bool recording = monitor.waitRecording();
    const std::vector<std::string> startNotes = monitor.backendWarnings();
    const std::size_t notesSaid = sayNotes(startNotes, 0, startNotes.size());
    // Every root was refused before capturing began; drives refused later do not count here.
    const bool noRoot = recording && monitor.counters().refusedRoots >= roots.size();
    if (noRoot) {
        std::cerr << kProgram << ": every watch was refused\n";
        monitor.stop();
    } else if (recording) {
        std::string list;
        for (const std::string& root : monitor.getWatchedRoots())
            list += (list.empty() ? "" : " ") + root;
        std::cerr << kProgram << ": watching " << list << '\n';

        std::thread watcher([&] {
            monitor.wait();
            console.wake();
        });
        console.waitForStop(options.duration);
        monitor.stop();
        watcher.join();
    }
    monitor.stop();
    monitor.wait();

    // What was found while the folders were walked, then the counts: folders not watched are no
    // lost events and no failure.
    sayNotes(monitor.backendWarnings(), notesSaid, kLaterNotes);
    const TCaptureCounters counts = monitor.counters();
    for (const std::string& text : captureCountTexts(counts, true))
        std::cerr << kProgram << ": " << text << '\n';
    if (counts.mergedPairs > 0)
        std::cerr << kProgram << ": " << counts.mergedPairs
                  << " create and delete pairs were merged by the kernel under load; each was ordered by whether its"
                     " name still existed\n";
    // The worker has ended: nothing changes the views any more.
    bool reportWritten = true;
    if (views) {
        reportWritten = writeCompanionReport(options.reportPath, *views, mainWindowCaption(getComputerName()));
        if (!reportWritten)
            std::cerr << kProgram << ": --report: " << options.reportPath << ": could not be written\n";
    }
    const std::size_t refused = sink.journalRefused();
    if (refused > 0)
        std::cerr << kProgram << ": " << refused << " events could not be sent to the journal\n";
    const std::string failure = monitor.getFailure();
    if (!failure.empty()) {
        std::cerr << kProgram << ": " << failure << '\n';
        return 1;
    }
    return recording && !noRoot && reportWritten && refused == 0 ? 0 : 1;
}
