#include "events/UntEvents.h"

#include "capture/UntCaptureBackend.h"

#include <gtest/gtest.h>

TEST(EventCatalogue, NamesAreFilledOnceInNumberOrder)
{
    const auto& names = eventNames();
    ASSERT_EQ(names.size(), 19u);
    EXPECT_EQ(&names, &eventNames());
    EXPECT_EQ(getEventName(0), "Association");
    EXPECT_EQ(getEventName(6), "Drive removed");
    EXPECT_EQ(getEventName(8), "Media removed");
    EXPECT_EQ(getEventName(11), "Network UnShare");
    EXPECT_EQ(getEventName(12), "Rename Folder");
    EXPECT_EQ(getEventName(18), "Update File");
}

TEST(EventCatalogue, BlankEntriesAndUnknownNumbersReadUnknown)
{
    const std::vector<std::string> names = {"", "  \t", " Spaced ", "Plain"};
    EXPECT_EQ(getEventName(names, 0), "Unknown");
    EXPECT_EQ(getEventName(names, 1), "Unknown");
    EXPECT_EQ(getEventName(names, 2), " Spaced ");
    EXPECT_EQ(getEventName(names, 3), "Plain");
    EXPECT_EQ(getEventName(-1), "Unknown");
    EXPECT_EQ(getEventName(19), "Unknown");
}

TEST(EventCatalogue, OnlyTheFourFileKindsAreNotFolderEvents)
{
    for (int n = 0; n < kEventCount; ++n)
        EXPECT_EQ(isFolderEvent(n), n != 2 && n != 3 && n != 13 && n != 18) << n;
}

TEST(EventCatalogue, FlagsAndNumbersMapBothWays)
{
    for (std::uint16_t n = 0; n < kEventCount; ++n) {
        const auto back = eventFlagToNumber(kEventFlags[n]);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, n);
    }
    TEventKinds all;
    all.fill(true);
    EXPECT_EQ(eventNumbersToMask(all), kFullEventMask);
    EXPECT_EQ(kFullEventMask, 0x803FFFFu);
    all.fill(false);
    EXPECT_EQ(eventNumbersToMask(all), 0u);
}

TEST(NotificationDecoding, ClearsBit31AndNeedsExactlyOneFlag)
{
    EXPECT_EQ(decodeEventId(0x1), 13);
    EXPECT_EQ(decodeEventId(0x80000001u), 13);
    EXPECT_EQ(decodeEventId(0x2), 2);
    EXPECT_EQ(decodeEventId(0x8000000), 0);
    EXPECT_EQ(decodeEventId(0x20000), 12);
    EXPECT_FALSE(decodeEventId(0x3).has_value()); // two flags at once
    EXPECT_FALSE(decodeEventId(0).has_value());
    EXPECT_FALSE(decodeEventId(0x80000000u).has_value()); // bit 31 alone
    EXPECT_FALSE(decodeEventId(0x40000).has_value());     // not in the catalogue
}
