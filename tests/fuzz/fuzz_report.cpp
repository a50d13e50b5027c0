// The report builder over random trees: whatever the names, every node and every row is one
// line, the counts match, and the digester is asked only about digestible nodes.
#include "FuzzCheck.h"
#include "pipeline/UntExportReport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

std::size_t countLines(const std::string& text)
{
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n'); // no lone CR
            ++lines;
            ++i;
        } else {
            FUZZ_CHECK(text[i] != '\n'); // no lone LF
        }
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const TPathStyle style = input.ConsumeBool() ? TPathStyle::Windows : TPathStyle::Posix;
    TEventTree tree(nullptr, style, [] { return std::string("14:05:09"); });
    TEventList list(nullptr, style);
    for (int i = 0; i < 64 && input.remaining_bytes() > 0; ++i) {
        const std::string item1 = input.ConsumeRandomLengthString(96);
        const std::string item2 = input.ConsumeBool() ? input.ConsumeRandomLengthString(96) : std::string();
        const int eventNum = input.ConsumeIntegralInRange(-1, 19);
        tree.addDirectoryFile(item1, item2, eventNum);
        list.addListItem(item1, item2, eventNum);
    }
    const TReportSnapshot snapshot = takeReportSnapshot(tree, list, "Files Monitor - HOST");
    FUZZ_CHECK(snapshot.treeLines.size() == tree.nodeCount());
    std::size_t asked = 0;
    const TDigester digester = [&](const std::string& path, const std::atomic<bool>&) -> std::optional<std::string> {
        ++asked;
        if (path.size() % 2)
            return std::nullopt;
        return std::string(32, 'a');
    };
    const std::optional<std::string> text = buildReportText(snapshot, digester);
    FUZZ_CHECK(text.has_value());
    FUZZ_CHECK(asked == digestibleCount(snapshot));
    // Header 8, tree nodes, 2 blank, list header 3, rows, 3 blank, closing hyphens.
    FUZZ_CHECK(countLines(*text) == 8 + tree.nodeCount() + 2 + 3 + list.rowCount() + 3 + 1);
    return 0;
}
