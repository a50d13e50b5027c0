#include "events/UntEvents.h"

#include "util/UntText.h"

namespace {
constexpr const char* kEventNamesText =
    "Association\r\nAttributes\r\nCreate\r\nDelete\r\nAdding Drive\r\nExplorer Drive Added\r\n"
    "Drive removed\r\nAdding Media\r\nMedia removed\r\nNew Directory\r\nNetwork Share\r\n"
    "Network UnShare\r\nRename Folder\r\nRename File\r\nDelete Directory\r\nServer Disconnect\r\n"
    "Update Directory\r\nUpdate Image\r\nUpdate File";
} // namespace

const std::vector<std::string>& eventNames()
{
    static const std::vector<std::string> names = splitLines(kEventNamesText);
    return names;
}

std::string getEventName(int eventNum)
{
    return getEventName(eventNames(), eventNum);
}

std::string getEventName(const std::vector<std::string>& names, int eventNum)
{
    if (eventNum < 0 || static_cast<std::size_t>(eventNum) >= names.size() || isBlank(names[eventNum]))
        return "Unknown";
    return names[eventNum];
}

std::optional<std::uint16_t> eventFlagToNumber(std::uint32_t flag)
{
    for (std::uint16_t n = 0; n < kEventCount; ++n)
        if (kEventFlags[n] == flag)
            return n;
    return std::nullopt;
}

std::uint32_t eventNumbersToMask(const std::array<bool, kEventCount>& selected)
{
    std::uint32_t mask = 0;
    for (int n = 0; n < kEventCount; ++n)
        if (selected[n])
            mask |= kEventFlags[n];
    return mask;
}
