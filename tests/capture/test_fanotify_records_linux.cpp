// fanotify event bytes as the kernel lays them out, read in place.
#include "capture/UntFanotifyRecords_linux.h"

#include <gtest/gtest.h>

#include <fcntl.h>
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

// The key of a record the builder below makes: the fsid words, then the file handle.
std::string keyOf(std::uint32_t fsid, const std::string& handle)
{
    const std::uint32_t fsidWords[2] = {fsid, 0};
    return fidKey(std::string_view(reinterpret_cast<const char*>(fsidWords), sizeof fsidWords), 1, handle);
}

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
    ASSERT_TRUE(event.oldDirName.valid() && event.newDirName.valid() && event.object.valid());
    EXPECT_FALSE(event.dirName.valid());
    // Keys point into the bytes read and equal what fidKey builds from a handle.
    EXPECT_EQ(event.oldDirName.key, keyOf(5, "OLDH"));
    EXPECT_EQ(event.oldDirName.name, "from");
    EXPECT_EQ(event.newDirName.key, keyOf(5, "NEWHANDLE"));
    EXPECT_EQ(event.newDirName.name, "to.txt");
    EXPECT_EQ(event.object.key, keyOf(5, "OBJ"));
    EXPECT_EQ(event.object.name, "");
    EXPECT_EQ(event.object.fsid(), keyOf(5, "").substr(0, 8));

    // The handle inside a key comes back as the struct file_handle open_by_handle_at takes.
    std::uint64_t storage[kHandleStorageWords];
    const auto* handle = static_cast<const file_handle*>(handleFromKey(event.newDirName.key, storage));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->handle_type, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(handle->f_handle), handle->handle_bytes), "NEWHANDLE");
    EXPECT_EQ(handleFromKey(event.newDirName.key.substr(0, 20), storage), nullptr); // cut short
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
    EXPECT_EQ(event.dirName.name, "a");
    const std::size_t second = parseFanotifyEvent(bytes.data() + first, bytes.size() - first, event);
    ASSERT_EQ(second, bytes.size() - first);
    EXPECT_EQ(event.mask, FAN_DELETE);
    EXPECT_EQ(event.dirName.name, "b");
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
    EXPECT_FALSE(event.dirName.valid());
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

} // namespace
