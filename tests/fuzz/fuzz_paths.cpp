// The path splitters, the filters and the name escapes over any bytes, in both path styles.
#include "FuzzCheck.h"
#include "events/UntItemObj.h"
#include "pipeline/UntEventFilters.h"
#include "util/UntNameEscape.h"
#include "util/UntText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

bool contains(std::string_view whole, std::string_view part)
{
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const TPathStyle style = input.ConsumeBool() ? TPathStyle::Windows : TPathStyle::Posix;
    const std::string path = input.ConsumeRandomLengthString(512);
    const std::string folder = input.ConsumeRandomLengthString(128);
    const std::string filters = input.ConsumeRandomLengthString(512);
    const int eventNum = input.ConsumeIntegralInRange(-2, 20);
    const std::string second = input.ConsumeRemainingBytesAsString();

    // Every part is a view into the path itself.
    FUZZ_CHECK(contains(path, fileNamePart(path, style)));
    FUZZ_CHECK(contains(path, folderPart(path, style)));
    FUZZ_CHECK(contains(path, extensionPart(path, style)));
    for (std::string_view piece : splitPath(path, style))
        FUZZ_CHECK(contains(path, piece));
    (void)isUnder(path, folder, style); // any bytes: the sanitizers watch the reads
    for (const std::string& line : splitLines(filters))
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);

    TEventFilters list(style);
    list.setDirFilters(filters);
    list.setExtFilters(filters);
    const TItemObj item(path, second, eventNum);
    // The folder list only removes and the extension list never touches other kinds.
    if (list.isExcluded(path))
        FUZZ_CHECK(!list.passes(item));
    if (!isFileEvent(eventNum))
        FUZZ_CHECK(list.keepsExtension(eventNum, path, second));
    // An empty list filters nothing.
    TEventFilters none(style);
    FUZZ_CHECK(none.passes(item));

    // Names are data: the escapes give one line without controls, and come back exactly.
    for (TNameEscape mode : {TNameEscape::Controls, TNameEscape::InvalidUtf8}) {
        const std::string escaped = escapedName(path, mode);
        FUZZ_CHECK(unescapeName(escaped) == path);
        FUZZ_CHECK(isValidUtf8(escaped));
        if (mode == TNameEscape::Controls)
            for (char c : escaped)
                FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    return 0;
}
