// fanotify event bytes as the kernel lays them out, and the folder-path cache.
#include "capture/UntFanotifyRecords_linux.h"

#include <gtest/gtest.h>

#include <sys/fanotify.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// Builds events the way the kernel does: metadata, then fid records padded to 4 bytes.
class TEventBytes {
public:
    // Starts an event; offset lets the tests place it at an address that is not 8-byte aligned.
    void begin(std::uint64_t mask, int pid)
    {
        start_ = bytes_.size();
        fanotify_event_metadata meta{};
        meta.vers = FANOTIFY_METADATA_VERSION;
        meta.metadata_len = sizeof meta;
        meta.mask = mask;
        meta.fd = FAN_NOFD;
        meta.pid = pid;
        append(&meta, sizeof meta);
    }
    void fid(std::uint8_t type, std::uint32_t fsid, std::string handle, const char* name = nullptr)
    {
        const std::size_t at = bytes_.size();
        fanotify_event_info_header header{};
        header.info_type = type;
        append(&header, sizeof header);
        const std::uint32_t fsidWords[2] = {fsid, 0};
        append(fsidWords, sizeof fsidWords);
        const std::uint32_t handleBytes = static_cast<std::uint32_t>(handle.size());
        const std::int32_t handleType = 1;
        append(&handleBytes, sizeof handleBytes);
        append(&handleType, sizeof handleType);
        append(handle.data(), handle.size());
        if (name)
            append(name, std::strlen(name) + 1);
        while ((bytes_.size() - at) % 4 != 0)
            bytes_.push_back('\0');
        const auto length = static_cast<std::uint16_t>(bytes_.size() - at);
        std::memcpy(bytes_.data() + at + offsetof(fanotify_event_info_header, len), &length, sizeof length);
    }
    void end()
    {
        const auto length = static_cast<std::uint32_t>(bytes_.size() - start_);
        std::memcpy(bytes_.data() + start_ + offsetof(fanotify_event_metadata, event_len), &length, sizeof length);
    }
    void pad(std::size_t count) { bytes_.insert(bytes_.end(), count, '\0'); }
    std::vector<char>& bytes() { return bytes_; }

private:
    void append(const void* data, std::size_t size)
    {
        const char* from = static_cast<const char*>(data);
        bytes_.insert(bytes_.end(), from, from + size);
    }
    std::vector<char> bytes_;
    std::size_t start_ = 0;
};

TEST(FanotifyRecords, ARenameCarriesBothFoldersNamesAndTheObject)
{
    TEventBytes events;
    events.pad(4); // the event starts 4 bytes into the buffer: not 8-byte aligned
    events.begin(FAN_RENAME | FAN_ONDIR, 77);
    events.fid(FAN_EVENT_INFO_TYPE_OLD_DFID_NAME, 5, "OLDH", "from");
    events.fid(FAN_EVENT_INFO_TYPE_NEW_DFID_NAME, 5, "NEWHANDLE", "to.txt");
    events.fid(FAN_EVENT_INFO_TYPE_FID, 5, "OBJ");
    events.end();

    TParsedEvent event;
    const char* data = events.bytes().data() + 4;
    const std::size_t size = events.bytes().size() - 4;
    ASSERT_EQ(parseFanotifyEvent(data, size, event), size);
    EXPECT_EQ(event.mask, FAN_RENAME | FAN_ONDIR);
    EXPECT_EQ(event.pid, 77);
    ASSERT_TRUE(event.oldDirName && event.newDirName && event.object);
    EXPECT_FALSE(event.dirName);
    EXPECT_EQ(event.oldDirName->handleBytes, "OLDH");
    EXPECT_EQ(event.oldDirName->name, "from");
    EXPECT_EQ(event.newDirName->handleBytes, "NEWHANDLE");
    EXPECT_EQ(event.newDirName->name, "to.txt");
    EXPECT_EQ(event.object->handleBytes, "OBJ");
    EXPECT_FALSE(event.object->name);
    EXPECT_NE(event.oldDirName->key(), event.newDirName->key());
}

TEST(FanotifyRecords, EventsFollowEachOtherAndATruncatedOneEndsTheRead)
{
    TEventBytes events;
    events.begin(FAN_CREATE, 1);
    events.fid(FAN_EVENT_INFO_TYPE_DFID_NAME, 9, "D", "a");
    events.end();
    const std::size_t first = events.bytes().size();
    events.begin(FAN_DELETE, 2);
    events.fid(FAN_EVENT_INFO_TYPE_DFID_NAME, 9, "D", "b");
    events.end();
    const auto& bytes = events.bytes();

    TParsedEvent event;
    ASSERT_EQ(parseFanotifyEvent(bytes.data(), bytes.size(), event), first);
    EXPECT_EQ(event.dirName->name, "a");
    const std::size_t second = parseFanotifyEvent(bytes.data() + first, bytes.size() - first, event);
    ASSERT_EQ(second, bytes.size() - first);
    EXPECT_EQ(event.mask, FAN_DELETE);
    EXPECT_EQ(event.dirName->name, "b");
    // Fewer bytes than the event says it has: no event.
    EXPECT_EQ(parseFanotifyEvent(bytes.data() + first, second - 1, event), 0u);
    EXPECT_EQ(parseFanotifyEvent(bytes.data(), 3, event), 0u);
}

TEST(FanotifyRecords, ARecordThatClaimsMoreThanItHoldsIsLeftOut)
{
    TEventBytes events;
    events.begin(FAN_CREATE, 1);
    events.fid(FAN_EVENT_INFO_TYPE_DFID_NAME, 9, "HANDLE", "n");
    events.end();
    auto& bytes = events.bytes();
    // handle_bytes far beyond the record
    const std::uint32_t huge = 4096;
    std::memcpy(bytes.data() + sizeof(fanotify_event_metadata) + sizeof(fanotify_event_info_header) + 8, &huge,
                sizeof huge);
    TParsedEvent event;
    EXPECT_EQ(parseFanotifyEvent(bytes.data(), bytes.size(), event), bytes.size());
    EXPECT_FALSE(event.dirName);
}

TEST(FanotifyRecords, AnotherLayoutVersionIsAnError)
{
    TEventBytes events;
    events.begin(FAN_CREATE, 1);
    events.end();
    events.bytes()[offsetof(fanotify_event_metadata, vers)] = FANOTIFY_METADATA_VERSION + 1;
    TParsedEvent event;
    EXPECT_THROW(parseFanotifyEvent(events.bytes().data(), events.bytes().size(), event), std::runtime_error);
}

TEST(FanotifyPaths, Join)
{
    EXPECT_EQ(joinPath("/", "a"), "/a");
    EXPECT_EQ(joinPath("/x", "a"), "/x/a");
    EXPECT_EQ(joinPath("/x", "."), "/x");
    EXPECT_EQ(joinPath("/x", ""), "/x");
}

TEST(FanotifyPaths, TheCacheForgetsRenamedTreesButKeepsRoots)
{
    TPathCache cache(4);
    cache.pin("root", "/w");
    cache.learn("a", "/w/a");
    cache.learn("b", "/w/a/b");
    cache.learn("c", "/w/ab");
    cache.forgetUnder("/w/a");
    EXPECT_EQ(cache.find("a"), nullptr);
    EXPECT_EQ(cache.find("b"), nullptr);
    ASSERT_NE(cache.find("c"), nullptr);
    EXPECT_EQ(*cache.find("c"), "/w/ab");
    cache.forgetUnder("/w");
    ASSERT_NE(cache.find("root"), nullptr);

    // Full: emptied, but the pinned root stays.
    for (int i = 0; i < 5; ++i)
        cache.learn("k" + std::to_string(i), "/w/" + std::to_string(i));
    EXPECT_LE(cache.size(), 4u);
    EXPECT_NE(cache.find("k4"), nullptr);
    EXPECT_NE(cache.find("root"), nullptr);
    cache.forget("k4");
    EXPECT_EQ(cache.find("k4"), nullptr);
}

} // namespace
