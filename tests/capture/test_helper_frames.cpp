// The records between the capture helper and its program: what one side writes the other reads
// back unchanged, and bytes that are no record are refused with a reason, never read past.
#include "capture/UntHelperFrames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

std::string littleEndian(std::uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return bytes;
}

std::vector<TItemObj> sampleEvents()
{
    // Whole 100 ns steps: the system clock's unit on Windows.
    const auto time = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::chrono::sys_time<std::chrono::nanoseconds>(std::chrono::nanoseconds(1767322245678901200LL)));
    return {
        TItemObj("/home/u/a.txt", "", evCreate, TEventOrigin{time, 4242, "touch"}),
        TItemObj("/home/u/a.txt", "/home/u/b\ttab\xff.txt", evRenameFile, TEventOrigin{time, 77, "mv"}),
        TItemObj("/media/usb/", "", evMediaInserted, TEventOrigin{time, 0, {}}),
    };
}

void expectSameEvents(const std::vector<TItemObj>& got, const std::vector<TItemObj>& expected)
{
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].getItem1(), expected[i].getItem1()) << i;
        EXPECT_EQ(got[i].getItem2(), expected[i].getItem2()) << i;
        EXPECT_EQ(got[i].getEventNum(), expected[i].getEventNum()) << i;
        EXPECT_EQ(got[i].getOrigin().pid, expected[i].getOrigin().pid) << i;
        EXPECT_EQ(got[i].getOrigin().process, expected[i].getOrigin().process) << i;
        EXPECT_EQ(got[i].getOrigin().time, expected[i].getOrigin().time) << i;
    }
}

// Every frame of a stream, read back in order; fails the test on anything but whole frames.
std::vector<THelperFrame> readAll(std::string_view bytes)
{
    std::vector<THelperFrame> frames;
    while (!bytes.empty()) {
        const TFrameRead read = readHelperFrame(bytes, kMaxHelperFrame);
        EXPECT_EQ(read.status, TFrameRead::Complete) << read.error;
        if (read.status != TFrameRead::Complete)
            break;
        frames.push_back(read.frame);
        bytes.remove_prefix(read.used);
    }
    return frames;
}

TEST(HelperFrames, EveryRecordRoundTrips)
{
    TWatchRequest request;
    request.kinds[evCreate] = true;
    request.kinds[evUpdateFile] = true;
    request.root = "/home/u/projects";
    std::string why;
    const auto watch = decodeWatchRequest(encodeWatchRequest(request), why);
    ASSERT_TRUE(watch) << why;
    EXPECT_EQ(watch->root, request.root);
    EXPECT_EQ(watch->kinds, request.kinds);

    const auto result = decodeWatchResult(encodeWatchResult({TWatchStatus::Unmarkable, "fanotify refused a mark"}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, TWatchStatus::Unmarkable);
    EXPECT_EQ(result->reason, "fanotify refused a mark");

    EXPECT_EQ(decodeHello(encodeHello(31337)), 31337u);

    TCaptureCounters counts;
    counts.overflows = 1;
    counts.unresolvedPaths = 2;
    counts.undecodedEvents = 3;
    counts.droppedEvents = 4;
    counts.foldersNotWatched = 5;
    counts.refusedRoots = 1ull << 40;
    counts.mergedPairs = 6;
    EXPECT_EQ(decodeCounters(encodeCounters(counts)), counts);

    std::uint64_t skipped = 0;
    const std::string stream = encodeEventFrames(sampleEvents(), skipped);
    EXPECT_EQ(skipped, 0u);
    const auto frames = readAll(stream);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, THelperRecord::Events);
    std::vector<TItemObj> events;
    ASSERT_TRUE(decodeEvents(frames[0].payload, events));
    expectSameEvents(events, sampleEvents());

    const auto finished = readHelperFrame(helperFrame(THelperRecord::Finished), kMaxHelperFrame);
    ASSERT_EQ(finished.status, TFrameRead::Complete);
    EXPECT_EQ(finished.frame.kind, THelperRecord::Finished);
    EXPECT_TRUE(finished.frame.payload.empty());
}

TEST(HelperFrames, ManyEventsSpreadOverFramesAndAnOversizedOneIsCounted)
{
    const std::string longName(100000, 'n');
    std::vector<TItemObj> items;
    for (int i = 0; i < 30; ++i)
        items.emplace_back("/d/" + longName + std::to_string(i), "", evCreate);
    items.emplace_back("/d/" + std::string(kMaxHelperFrame, 'x'), "", evCreate); // fits no frame
    items.emplace_back("/d/last", "", evDelete);
    std::uint64_t skipped = 0;
    const std::string stream = encodeEventFrames(items, skipped);
    EXPECT_EQ(skipped, 1u);
    std::vector<TItemObj> events;
    const auto frames = readAll(stream);
    EXPECT_GT(frames.size(), 1u);
    for (const THelperFrame& frame : frames) {
        EXPECT_LE(frame.payload.size() + kFrameHeader, kMaxHelperFrame);
        ASSERT_TRUE(decodeEvents(frame.payload, events));
    }
    ASSERT_EQ(events.size(), 31u);
    EXPECT_EQ(events[29].getItem1(), "/d/" + longName + "29");
    EXPECT_EQ(events[30].getItem1(), "/d/last");
}

TEST(HelperFrames, ATruncatedFrameWaitsForMoreAtEveryLength)
{
    const std::string frame = helperFrame(THelperRecord::Warning, "inotify refused a watch on /x");
    for (std::size_t length = 0; length < frame.size(); ++length) {
        const TFrameRead read = readHelperFrame(std::string_view(frame).substr(0, length), kMaxHelperFrame);
        EXPECT_EQ(read.status, TFrameRead::Incomplete) << length;
    }
    const std::string followed = frame + "next"; // the payload points into it
    const TFrameRead whole = readHelperFrame(followed, kMaxHelperFrame);
    ASSERT_EQ(whole.status, TFrameRead::Complete);
    EXPECT_EQ(whole.used, frame.size());
    EXPECT_EQ(whole.frame.payload, "inotify refused a watch on /x");
}

TEST(HelperFrames, BytesThatAreNoFrameAreRefusedWithAReason)
{
    // An absurd length: the reader never waits for four gigabytes.
    const TFrameRead huge = readHelperFrame(littleEndian(0xFFFFFFFFu) + "\x01\x12", kMaxHelperFrame);
    EXPECT_EQ(huge.status, TFrameRead::Invalid);
    EXPECT_NE(huge.error.find("4294967295 bytes"), std::string::npos) << huge.error;
    // One byte over the limit of the side that reads.
    const std::string request =
        helperFrame(THelperRecord::Watch, std::string(kMaxRequestFrame - kFrameHeader + 1, 'r'));
    EXPECT_EQ(readHelperFrame(request, kMaxRequestFrame).status, TFrameRead::Invalid);
    EXPECT_EQ(readHelperFrame(request, kMaxHelperFrame).status, TFrameRead::Complete);
    // Too short to hold its own kind.
    EXPECT_EQ(readHelperFrame(littleEndian(1) + "\x01\x12", kMaxHelperFrame).status, TFrameRead::Invalid);
    // Another protocol version, found before its length is believed.
    std::string other = helperFrame(THelperRecord::Hello, encodeHello(7));
    other[4] = 2;
    const TFrameRead version = readHelperFrame(other, kMaxHelperFrame);
    EXPECT_EQ(version.status, TFrameRead::Invalid);
    EXPECT_NE(version.error.find("protocol version 2"), std::string::npos) << version.error;
    EXPECT_EQ(readHelperFrame(std::string_view(other).substr(0, 5), kMaxHelperFrame).status, TFrameRead::Invalid);
}

TEST(HelperFrames, MalformedEventPayloadsAreRefusedAndAddNothing)
{
    std::uint64_t skipped = 0;
    const std::string stream = encodeEventFrames(sampleEvents(), skipped);
    const std::string payload = stream.substr(kFrameHeader);
    std::vector<TItemObj> items(1, TItemObj("/kept", "", evCreate));

    for (std::size_t cut = 0; cut < payload.size(); ++cut)
        ASSERT_FALSE(decodeEvents(std::string_view(payload).substr(0, cut), items)) << cut;
    EXPECT_FALSE(decodeEvents(payload + "x", items)); // trailing bytes
    std::string unknownKind = payload;
    unknownKind[4] = static_cast<char>(kEventCount); // the first event's number
    EXPECT_FALSE(decodeEvents(unknownKind, items));
    EXPECT_FALSE(decodeEvents(littleEndian(0xFFFFFFFFu) + payload.substr(4), items)); // count beyond the bytes
    std::string hugeText = payload;
    hugeText.replace(4 + 1 + 4 + 8, 4, littleEndian(0x7FFFFFFFu)); // the first process name's length
    EXPECT_FALSE(decodeEvents(hugeText, items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].getItem1(), "/kept");

    EXPECT_FALSE(decodeCounters(encodeCounters({}) + "x"));
    EXPECT_FALSE(decodeHello(encodeHello(0)));
    EXPECT_FALSE(decodeWatchResult(encodeWatchResult({static_cast<TWatchStatus>(9), ""})));
}

TEST(HelperFrames, AWatchRequestNamesOneAbsoluteFolderPath)
{
    const auto refused = [](const std::string& payload) {
        std::string why;
        const bool taken = decodeWatchRequest(payload, why).has_value();
        EXPECT_FALSE(why.empty() && !taken);
        return !taken;
    };
    TWatchRequest request;
    request.root = "relative/folder";
    EXPECT_TRUE(refused(encodeWatchRequest(request)));
    request.root = std::string("/with\0nul", 9);
    EXPECT_TRUE(refused(encodeWatchRequest(request)));
    request.root = "/" + std::string(4096, 'l');
    EXPECT_TRUE(refused(encodeWatchRequest(request)));
    request.root = "/" + std::string(4095, 'l');
    EXPECT_FALSE(refused(encodeWatchRequest(request)));
    EXPECT_TRUE(refused(encodeWatchRequest(request) + "x"));
    EXPECT_TRUE(refused(littleEndian(1u << kEventCount) + encodeWatchRequest(request).substr(4)));
    EXPECT_TRUE(refused(""));
}

} // namespace
