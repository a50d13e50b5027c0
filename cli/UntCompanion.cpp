#include "cli/UntCompanion.h"

#include "capture/UntEvents.h"
#include "pipeline/UntSyncInvoker.h"
#include "settings/UntConfigStore.h"
#include "settings/UntConfigPath.h"
#include "util/UntText.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

constexpr const char* kProgram = "filesmonitor-cli";

bool isUnder(std::string_view path, std::string_view folder)
{
    if (folder.empty() || path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0)
        return false;
    return path.size() == folder.size() || folder.back() == '/' || path[folder.size()] == '/';
}

// Mount points in /proc/self/mountinfo escape blanks and backslashes as octal.
std::string unescapeMountPath(std::string_view text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits(text.substr(i + 1, 3));
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                result += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

} // namespace

TParsedArgs parseCompanionArgs(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    CLI::App app{"Prints live file activity of the watched folders, one line per event.", kProgram};
    std::vector<std::string> roots;
    std::string config;
    std::string format = "text";
    double duration = 0;
    std::string backend = "auto";
    app.add_option("--root", roots, "Folder to watch, with everything below it (repeatable); default: every drive")
        ->check(CLI::ExistingDirectory);
    auto* configOption =
        app.add_option("--config", config, "Settings file; default: config.ini beside the program")->check(CLI::ExistingFile);
    app.add_option("--format", format, "Output: text (the list row) or json (one object per line)")
        ->check(CLI::IsMember({"text", "json"}));
    auto* durationOption =
        app.add_option("--duration", duration, "Stop after this many seconds; default: on SIGINT or SIGTERM")
            ->check(CLI::PositiveNumber);
    app.add_option("--backend", backend, "Capture backend: auto, fanotify or inotify")->check(CLI::IsMember({"auto", "fanotify", "inotify"}));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return {std::nullopt, app.exit(error, out, err)};
    }

    TCompanionOptions options;
    for (const std::string& root : roots) {
        std::error_code error;
        auto canonical = std::filesystem::canonical(root, error);
        if (error) {
            err << "--root: " << root << ": " << error.message() << '\n';
            return {std::nullopt, 2};
        }
        options.roots.push_back(canonical.string());
    }
    options.configPath = config;
    options.configNamed = configOption->count() > 0;
    options.format = format == "json" ? TOutputFormat::Json : TOutputFormat::Text;
    if (durationOption->count() > 0)
        options.duration = duration;
    options.backend = backend == "fanotify" ? TBackendKind::Fanotify
                      : backend == "inotify"  ? TBackendKind::Inotify
                                              : TBackendKind::Auto;
    return {options, 0};
}

TCompanionConfig loadCompanionConfig(const TCompanionOptions& options, const std::string& defaultPath)
{
    const std::string path = options.configNamed ? options.configPath : defaultPath;
    if (options.configNamed && !std::ifstream(path))
        throw std::runtime_error("--config: " + path + ": cannot be read");
    // A missing file gives the defaults: every kind, no filters.
    TSettingsData data;
    restoreSettings(path, data);
    TCompanionConfig config;
    config.kinds = data.events;
    if (!data.folders.empty())
        config.excludedFolders = entriesToListText(data.folders);
    if (!data.extensions.empty())
        config.extensions = entriesToListText(data.extensions);
    return config;
}

std::string formatUtcTime(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto millis = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000 - (millis % 1000 < 0 ? 1 : 0));
    const int rest = static_cast<int>(((millis % 1000) + 1000) % 1000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", rest);
    return std::string(text, length) + fraction;
}

std::string formatTextRow(const TItemObj& item)
{
    constexpr TPathStyle style = kNativePathStyle;
    const std::string& first = item.getItem1();
    std::string from;
    if (isBlank(first))
        from = "-";
    else {
        from = std::string(fileNamePart(first, style));
        if (isBlank(from))
            from = first;
    }
    const std::string second = isBlank(item.getItem2()) ? std::string("-") : item.getItem2();
    std::string row;
    row += from;
    row += '\t';
    row += fileNamePart(second, style);
    row += '\t';
    row += getEventName(item.getEventNum());
    row += '\t';
    row += folderPart(first, style);
    row += '\t';
    return row;
}

std::string formatJsonLine(const TItemObj& item)
{
    const TEventOrigin& origin = item.getOrigin();
    const auto time = origin.time.time_since_epoch().count() != 0 ? origin.time : std::chrono::system_clock::now();
    nlohmann::ordered_json line;
    line["time"] = formatUtcTime(time);
    line["event"] = item.getEventNum();
    line["action"] = getEventName(item.getEventNum());
    line["path"] = item.getItem1();
    line["newPath"] = item.getItem2();
    if (origin.pid > 0)
        line["pid"] = origin.pid;
    if (!origin.process.empty())
        line["process"] = origin.process;
    // Paths are the kernel's bytes; a name that is not UTF-8 is shown with replacement characters.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool TCompanionSink::isReported(const TItemObj& item) const
{
    if (roots_.empty())
        return true;
    return std::any_of(roots_.begin(), roots_.end(), [&](const std::string& root) {
        return isUnder(item.getItem1(), root) || isUnder(item.getItem2(), root);
    });
}

void TCompanionSink::listStep(const TItemObj& item)
{
    if (!isReported(item))
        return;
    out_ << (format_ == TOutputFormat::Json ? formatJsonLine(item) : formatTextRow(item)) << '\n';
}

void TCompanionSink::batchEnd(bool)
{
    out_.flush();
}

std::vector<std::string> companionDriveRoots()
{
    std::ifstream mounts("/proc/self/mountinfo");
    std::vector<std::string> roots;
    std::string line;
    while (std::getline(mounts, line)) {
        // id parent major:minor root mount-point options [optional fields] - type source super-options
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, word;
        fields >> id >> parent >> device >> root >> mountPoint;
        while (fields >> word && word != "-") {
        }
        std::string type, source;
        fields >> type >> source;
        static const std::vector<std::string> leftOut = {"iso9660", "udf", "squashfs", "tmpfs", "ramfs"};
        if (source.rfind("/dev/", 0) != 0 || source.rfind("/dev/zram", 0) == 0 || source.rfind("/dev/loop", 0) == 0 ||
            std::find(leftOut.begin(), leftOut.end(), type) != leftOut.end())
            continue;
        std::string path = unescapeMountPath(mountPoint);
        if (path.empty() || path.back() != '/')
            path += '/';
        if (std::find(roots.begin(), roots.end(), path) == roots.end())
            roots.push_back(path);
    }
    std::sort(roots.begin(), roots.end());
    return roots;
}

int runCompanion(int argc, const char* const* argv)
{
    // Signals are taken by sigtimedwait below; every thread started from here inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1); // the monitor ended on its own
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    TParsedArgs parsed = parseCompanionArgs(argc, argv, std::cout, std::cerr);
    if (!parsed.options)
        return parsed.exitCode;
    const TCompanionOptions& options = *parsed.options;

    TCompanionConfig config;
    try {
        config = loadCompanionConfig(options, configFilePath());
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 2;
    }

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

    TDirectInvoker invoker;
    TCompanionSettings settings(config);
    TCompanionView view;
    TCompanionSink sink(std::cout, options.format, options.roots);
    TShellMonitor monitor(invoker, settings, view, sink, std::move(choice), [roots] { return roots; });
    monitor.start();
    const bool recording = monitor.waitRecording();
    for (const std::string& warning : monitor.backendWarnings())
        std::cerr << kProgram << ": " << warning << '\n';
    if (recording && monitor.counters().refusedWatches >= roots.size()) {
        std::cerr << kProgram << ": every watch was refused\n";
        monitor.stop();
    } else if (recording) {
        std::string list;
        for (const std::string& root : monitor.getWatchedRoots())
            list += (list.empty() ? "" : " ") + root;
        std::cerr << kProgram << ": watching " << list << '\n';

        const pthread_t mainThread = pthread_self();
        std::thread watcher([&] {
            monitor.wait();
            pthread_kill(mainThread, SIGUSR1);
        });
        const auto deadline =
            std::chrono::steady_clock::now() +
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(options.duration.value_or(0)));
        for (;;) {
            int signal = 0;
            if (options.duration) {
                const auto left = deadline - std::chrono::steady_clock::now();
                if (left <= std::chrono::nanoseconds::zero())
                    break;
                const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                const timespec wait{static_cast<std::time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
                signal = sigtimedwait(&signals, nullptr, &wait);
            } else {
                signal = sigwaitinfo(&signals, nullptr);
            }
            if (signal > 0)
                break;
        }
        monitor.stop();
        watcher.join();
    }
    monitor.stop();
    monitor.wait();

    const TCaptureCounters lost = monitor.counters();
    if (lost.lost() > 0)
        std::cerr << kProgram << ": lost events: " << lost.overflows << " queue overflows, " << lost.refusedWatches
                  << " refused watches, " << lost.unresolvedPaths << " unresolved paths\n";
    const std::string failure = monitor.getFailure();
    if (!failure.empty()) {
        std::cerr << kProgram << ": " << failure << '\n';
        return 1;
    }
    return recording && lost.refusedWatches < roots.size() ? 0 : 1;
}
