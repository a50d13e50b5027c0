// Base64: decoding any text never fails, and any bytes come back from their encoding unchanged.
#include "FuzzCheck.h"
#include "settings/Base64.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string encoded = textToBase64(bytes);
    FUZZ_CHECK(encoded.size() == (size + 2) / 3 * 4);
    FUZZ_CHECK(base64ToText(encoded) == bytes);
    const std::string decoded = base64ToText(bytes); // the bytes taken as stored text
    FUZZ_CHECK(decoded.size() <= size / 4 * 3);
    return 0;
}
