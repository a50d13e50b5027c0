// The extension parser over any typed or stored text: every entry it keeps is a valid entry,
// no two differ only in letter case, and parsing the same text again adds nothing.
#include "FuzzCheck.h"
#include "settings/UntExtensionParser.h"
#include "util/UntText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> entries;
    const std::vector<std::string> added = addExtensions(text, entries);
    FUZZ_CHECK(added == entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& entry = entries[i];
        FUZZ_CHECK(!isBlank(entry));
        FUZZ_CHECK(entry.find('.') != std::string::npos);
        FUZZ_CHECK(entry.find_first_of(",; \r\n") == std::string::npos);
        for (std::size_t j = 0; j < i; ++j)
            FUZZ_CHECK(!sameText(entries[j], entry));
    }
    FUZZ_CHECK(addExtensions(text, entries).empty());
    // The stored form (one entry per line) gives the same list back.
    std::vector<std::string> restored;
    addExtensions(entriesToListText(entries), restored);
    FUZZ_CHECK(restored == entries);
    return 0;
}
