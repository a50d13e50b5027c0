// The headless companion: the desktop program's capture and filters, printed as text or JSON lines.
#pragma once

#include "capture/UntCaptureBackend.h"
#include "cli/UntCompanionLines.h"
#include "monitor/UntShellMonitorThread.h"
#include "pipeline/UntDeliverySink.h"
#include "pipeline/UntEventList.h"
#include "pipeline/UntEventTree.h"

#include <atomic>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct TCompanionOptions {
    std::vector<std::string> roots; // canonical folders; empty: every drive root
    std::string configPath;         // empty: configFilePath()
    bool configNamed = false;       // given with --config, so it must exist
    TOutputFormat format = TOutputFormat::Text;
    std::optional<double> duration; // seconds
    TBackendKind backend = TBackendKind::Auto;
    std::string reportPath; // empty: no report
};

// What a parse ended with: options to run, or an exit code with its message already written.
struct TParsedArgs {
    std::optional<TCompanionOptions> options;
    int exitCode = 0;
};

TParsedArgs parseCompanionArgs(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The settings the companion records with, from config.ini.
struct TCompanionConfig {
    TEventKinds kinds{};
    std::string excludedFolders; // list text, empty when none
    std::string extensions;      // list text, empty when none
    std::string path;            // the file read
    std::size_t unreadLines = 0; // its lines that were not understood
};
// The file named with --config, which must then be readable, or else defaultPath (config.ini
// beside the program), which may be missing: every kind is watched then, nothing filtered.
TCompanionConfig loadCompanionConfig(const TCompanionOptions& options, const std::string& defaultPath);

// The two views the desktop program shows, kept for the report the companion writes at its end.
struct TCompanionViews {
    TEventTree tree;
    TEventList list;
};

// Prints every delivered event of the roots: the lines gather in one buffer, written when it is
// full and at the end of each batch, with one flush per batch. With views, also fills them the
// way the desktop program fills its own: tree step, then list step.
class TCompanionSink final : public TDeliverySink {
public:
    TCompanionSink(std::ostream& out, TOutputFormat format, std::vector<std::string> roots,
                   TCompanionViews* views = nullptr)
        : out_(out), format_(format), writer_(format), roots_(std::move(roots)), views_(views)
    {
    }
    void batchStart(int) override {}
    void treeStep(const TItemObj& item) override;
    void listStep(const TItemObj& item) override;
    void progress(int) override {}
    void batchEnd(bool) override;
    // --format journal: the events the journal would not take.
    std::size_t journalRefused() const { return journalRefused_; }

private:
    bool isReported(const TItemObj& item) const;
    void write();

    static constexpr std::size_t kWriteAt = 64 * 1024;
    std::ostream& out_;
    TOutputFormat format_;
    TLineWriter writer_; // text and json
    std::string buffer_;
    std::vector<std::string> roots_;
    TCompanionViews* views_;
    std::atomic<std::size_t> journalRefused_{0}; // counted by the worker, read after it ended
};

// The desktop program's export report of the views, with the same caption line, written with
// saveTextToFile; false when the file could not be written completely.
bool writeCompanionReport(const std::string& fileName, const TCompanionViews& views, const std::string& caption);

// No drive rows: every root given is watched; event rows from the configuration.
class TCompanionSettings final : public TMonitorSettings {
public:
    explicit TCompanionSettings(TCompanionConfig config) : config_(std::move(config)) {}
    int driveRowCount() const override { return 0; }
    TDriveRow driveRow(int) const override { return {}; }
    int eventRowCount() const override { return kEventCount; }
    bool eventRowChecked(int index) const override { return config_.kinds.at(static_cast<std::size_t>(index)); }
    std::string excludedFoldersText() const override { return config_.excludedFolders; }
    std::string extensionsText() const override { return config_.extensions; }
    bool autoExpand() const override { return false; }
    bool autoClean() const override { return false; }

private:
    TCompanionConfig config_;
};

// There is no window: nothing to show.
class TCompanionView final : public TMonitorView {
public:
    void showState(TRecordingState) override {}
    void clearViews() override {}
};

// Every drive root the system helpers list (fixed and removable drives).
std::vector<std::string> companionDriveRoots();

int runCompanion(int argc, const char* const* argv);
