// The INI reader over any bytes: it never fails, writing back what it read changes nothing, and
// what it found is found again after the round trip.
#include "FuzzCheck.h"
#include "settings/UntIniDocument.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TIniDocument document;
    document.parse(bytes);
    const std::string written = document.serialize();

    TIniDocument again;
    again.parse(written);
    FUZZ_CHECK(again.serialize() == written);
    FUZZ_CHECK(again.getUnreadLineCount() == document.getUnreadLineCount());
    for (const char* section : {"EVENTS", "GLOBAL", "FILTERS"})
        for (const char* key :
             {"EVENTS", "AUTOCAPTURE", "TRAY", "AUTOCLEAR", "AUTOEXPAND", "EXTENSIONS", "DIRECTORIES"}) {
            const std::string* first = document.find(section, key);
            const std::string* second = again.find(section, key);
            FUZZ_CHECK((first == nullptr) == (second == nullptr));
            FUZZ_CHECK(!first || *first == *second);
        }

    // A key set on top of whatever was there reads back as set, and the rest is kept.
    again.set("GLOBAL", "TRAY", "Y");
    const std::string* tray = again.find("GLOBAL", "TRAY");
    FUZZ_CHECK(tray && *tray == "Y");
    return 0;
}
