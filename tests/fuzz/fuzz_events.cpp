// The decoders of what the system sends: an event identifier maps to one catalogue number or
// none, and a fanotify record of any bytes is either read within its bounds or refused.
#include "FuzzCheck.h"
#include "events/UntEvents.h"
#ifdef __linux__
#include "capture/UntFanotifyRecords_linux.h"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t id = 0;
    std::memcpy(&id, data, std::min(size, sizeof id));
    if (const std::optional<std::uint16_t> number = decodeEventId(id)) {
        FUZZ_CHECK(*number < kEventCount);
        FUZZ_CHECK(eventFlagToNumber(id & 0x7FFFFFFFu) == number);
    }

#ifdef __linux__
    // A copy exactly as long as the input, so reading past it is caught by the sanitizer.
    const std::vector<char> bytes(data, data + size);
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        TParsedEvent event;
        std::size_t length = 0;
        try {
            length = parseFanotifyEvent(bytes.data() + offset, bytes.size() - offset, event);
        } catch (const std::runtime_error&) {
            break; // another kernel's layout: refused as a whole
        }
        if (length == 0)
            break;
        FUZZ_CHECK(length <= bytes.size() - offset);
        offset += length;
    }
#endif
    return 0;
}
