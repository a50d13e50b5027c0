// The mount table reader over any text: every entry has a mount point (a line break in it is
// legal: the kernel writes it as \012), drives are distinct roots ending in "/".
#include "FuzzCheck.h"
#include "util/UntFunctions.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const TMountEntry& entry : parseMountInfo(text))
        FUZZ_CHECK(!entry.mountPoint.empty());
    const auto drives = drivesFromMountInfo(text);
    for (const auto& drive : drives)
        FUZZ_CHECK(!drive.root.empty() && drive.root.back() == '/');
    for (std::size_t i = 1; i < drives.size(); ++i)
        FUZZ_CHECK(drives[i - 1].root != drives[i].root);
    return 0;
}
