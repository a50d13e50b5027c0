// The catalogue of the 19 event kinds: number, display name and shell flag.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kEventCount = 19;

// Event numbers used by name elsewhere.
enum TEventNum : int {
    evAssociation = 0,
    evAttributes = 1,
    evCreate = 2,
    evDelete = 3,
    evDriveAdd = 4,
    evDriveAddGui = 5,
    evDriveRemoved = 6,
    evMediaInserted = 7,
    evMediaRemoved = 8,
    evMkDir = 9,
    evNetShare = 10,
    evNetUnshare = 11,
    evRenameFolder = 12,
    evRenameFile = 13,
    evRmDir = 14,
    evServerDisconnect = 15,
    evUpdateDir = 16,
    evUpdateImage = 17,
    evUpdateFile = 18,
};

// Shell flag of each event number, index = event number.
inline constexpr std::array<std::uint32_t, kEventCount> kEventFlags = {
    0x8000000, 0x800, 0x2,     0x4, 0x100, 0x10000, 0x80,   0x20,   0x40,   0x8,
    0x200,     0x400, 0x20000, 0x1, 0x10,  0x4000,  0x1000, 0x8000, 0x2000,
};

inline constexpr std::uint32_t kFullEventMask = [] {
    std::uint32_t mask = 0;
    for (auto flag : kEventFlags)
        mask |= flag;
    return mask;
}();

// The display names, filled once from one CR LF text; index = event number.
const std::vector<std::string>& eventNames();

// The stored name, or "Unknown" when it is blank or the number is outside the list.
std::string getEventName(int eventNum);
std::string getEventName(const std::vector<std::string>& names, int eventNum);

// False only for the four file kinds: Create, Delete, Rename File, Update File.
constexpr bool isFolderEvent(int eventNum)
{
    return eventNum != evCreate && eventNum != evDelete && eventNum != evRenameFile && eventNum != evUpdateFile;
}

// One flag to its event number; anything that is not exactly one catalogue flag has none.
std::optional<std::uint16_t> eventFlagToNumber(std::uint32_t flag);

// A notification's event identifier: bit 31 (interrupt-level source) cleared, then exactly one flag.
inline std::optional<std::uint16_t> decodeEventId(std::uint32_t id)
{
    return eventFlagToNumber(id & 0x7FFFFFFFu);
}

// The OR of the flags of every selected event number.
std::uint32_t eventNumbersToMask(const std::array<bool, kEventCount>& selected);
