// The capture helper's records, as each side reads bytes the other may have made up: a frame is
// read within its bounds or refused with a reason, and every decoder either refuses a payload or
// gives a value that encodes back to the very same bytes.
#include "FuzzCheck.h"
#include "capture/UntHelperFrames.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void checkPayload(std::string_view payload)
{
    std::string why;
    if (const auto request = decodeWatchRequest(payload, why)) {
        FUZZ_CHECK(!request->root.empty() && request->root.front() == '/');
        FUZZ_CHECK(encodeWatchRequest(*request) == payload);
    } else {
        FUZZ_CHECK(!why.empty());
    }
    if (const auto result = decodeWatchResult(payload))
        FUZZ_CHECK(encodeWatchResult(*result) == payload);
    if (const auto pid = decodeHello(payload))
        FUZZ_CHECK(encodeHello(*pid) == payload);
    if (const auto counts = decodeCounters(payload))
        FUZZ_CHECK(encodeCounters(*counts) == payload);
    std::vector<TItemObj> items;
    if (decodeEvents(payload, items)) {
        std::uint64_t skipped = 0;
        const std::string again = encodeEventFrames(items, skipped);
        FUZZ_CHECK(skipped == 0);
        FUZZ_CHECK(items.empty() ? again.empty() : again == helperFrame(THelperRecord::Events, payload));
    } else {
        FUZZ_CHECK(items.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy exactly as long as the input, so reading past it is caught by the sanitizer.
    const std::vector<char> bytes(data, data + size);
    for (const std::size_t limit : {kMaxRequestFrame, kMaxHelperFrame}) {
        std::string_view rest(bytes.data(), bytes.size());
        while (!rest.empty()) {
            const TFrameRead read = readHelperFrame(rest, limit);
            if (read.status != TFrameRead::Complete) {
                FUZZ_CHECK(read.status == TFrameRead::Incomplete || !read.error.empty());
                break;
            }
            FUZZ_CHECK(read.used >= kFrameHeader && read.used <= rest.size() && read.used <= limit);
            FUZZ_CHECK(read.frame.payload.data() == rest.data() + kFrameHeader);
            FUZZ_CHECK(read.frame.payload.size() == read.used - kFrameHeader);
            checkPayload(read.frame.payload);
            rest.remove_prefix(read.used);
        }
    }
    return 0;
}
