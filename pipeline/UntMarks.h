// Marks kept on tree nodes and list rows, and the text colour each one is drawn in.
#pragma once

#include <cstdint>
#include <optional>

enum TMark : std::uint8_t {
    mkNone = 0,
    mkRenamed = 1, // blue
    mkDeleted = 2, // red
    mkCreated = 3, // green, list rows only
};

struct TRgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    friend constexpr bool operator==(TRgb, TRgb) = default;
};

inline constexpr TRgb kRenamedColour{0, 0, 255};
inline constexpr TRgb kDeletedColour{255, 0, 0};
inline constexpr TRgb kCreatedColour{0, 128, 0};

// The list knows all three marks; nothing means the view's normal colour.
constexpr std::optional<TRgb> listMarkColour(int mark)
{
    switch (mark) {
    case mkRenamed:
        return kRenamedColour;
    case mkDeleted:
        return kDeletedColour;
    case mkCreated:
        return kCreatedColour;
    default:
        return std::nullopt;
    }
}

// The tree draws only renames and deletions.
constexpr std::optional<TRgb> treeMarkColour(int mark)
{
    return mark == mkCreated ? std::nullopt : listMarkColour(mark);
}
