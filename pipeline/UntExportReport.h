// The export report of both views. Built in two steps so the slow part can leave the
// user-interface thread: a snapshot of the texts (cheap, taken where the views live), then the
// text with the file digests, which may run anywhere and can report progress and be cancelled.
#pragma once

#include "pipeline/UntEventList.h"
#include "pipeline/UntEventTree.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The digest text of a path, or nothing when it is not an existing regular file or cancelled was
// set meanwhile (a digester looks at it every few MiB, so a cancel never waits for a large file).
using TDigester =
    std::function<std::optional<std::string>(const std::string& path, const std::atomic<bool>& cancelled)>;
// The digester of every report, desktop and companion alike: getFileMD5 of existing regular files.
std::optional<std::string> existingFileDigest(const std::string& path, const std::atomic<bool>& cancelled);
// Called after each digested node with (done, total); returning false cancels the build.
using TReportProgress = std::function<bool(std::size_t done, std::size_t total)>;

struct TReportTreeLine {
    std::uint16_t level = 0;
    std::string text;
    std::string filePath;    // only where digestible
    bool digestible = false; // below the top level, not decorated and under no decorated node
};

struct TReportSnapshot {
    std::string caption;
    std::vector<TReportTreeLine> treeLines;
    std::string listText; // listViewToText of the list
    std::size_t listRows = 0;
};

// "" for 0, "-->" for 1, "-- -->" for 2, "-- -- -->" for 3 ...
std::string treeLevelPrefix(std::uint16_t level);
// One line per row: each column's text followed by a TAB, the line followed by CR LF.
std::string listViewToText(const TEventList& list);

// The lines that will be digested, which is what progress counts up to.
std::size_t digestibleCount(const TReportSnapshot& snapshot);

TReportSnapshot takeReportSnapshot(const TEventTree& tree, const TEventList& list, std::string caption);
// The whole report, every line ended by CR LF; nothing when progress or cancelled (set from any
// thread) cancelled it.
std::optional<std::string> buildReportText(const TReportSnapshot& snapshot, const TDigester& digester,
                                           const TReportProgress& progress = {},
                                           const std::atomic<bool>* cancelled = nullptr);
