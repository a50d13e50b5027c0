#include "capture/UntHelperFrames.h"

#include <chrono>
#include <climits>
#include <iterator>

namespace {

constexpr std::size_t kMaxRootBytes = 4096; // PATH_MAX

class TByteWriter {
public:
    explicit TByteWriter(std::string& out) : out_(out) {}
    void u8(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
    void u32(std::uint32_t value) { little(value, 4); }
    void u64(std::uint64_t value) { little(value, 8); }
    void text(std::string_view value)
    {
        u32(static_cast<std::uint32_t>(value.size()));
        out_.append(value);
    }

private:
    void little(std::uint64_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            out_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    std::string& out_;
};

// Reads from the front of a payload; once a read runs past its end, every later read fails too.
class TByteReader {
public:
    explicit TByteReader(std::string_view bytes) : rest_(bytes) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return ok_ && rest_.empty(); }
    std::size_t left() const { return rest_.size(); }
    std::uint8_t u8() { return static_cast<std::uint8_t>(little(1)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(little(4)); }
    std::uint64_t u64() { return little(8); }
    std::string_view text()
    {
        const std::uint32_t size = u32();
        if (!ok_ || size > rest_.size()) {
            ok_ = false;
            return {};
        }
        const std::string_view value = rest_.substr(0, size);
        rest_.remove_prefix(size);
        return value;
    }

private:
    std::uint64_t little(std::size_t bytes)
    {
        if (!ok_ || rest_.size() < bytes) {
            ok_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value |= static_cast<std::uint64_t>(static_cast<unsigned char>(rest_[i])) << (8 * i);
        rest_.remove_prefix(bytes);
        return value;
    }
    std::string_view rest_;
    bool ok_ = true;
};

std::uint32_t kindsMask(const TEventKinds& kinds)
{
    std::uint32_t mask = 0;
    for (int k = 0; k < kEventCount; ++k)
        if (kinds[static_cast<std::size_t>(k)])
            mask |= 1u << k;
    return mask;
}

// The smallest encoded event: number, pid, time and three empty texts.
constexpr std::size_t kMinEventBytes = 1 + 4 + 8 + 3 * 4;

void encodeEvent(TByteWriter& out, const TItemObj& item)
{
    const TEventOrigin& origin = item.getOrigin();
    out.u8(static_cast<std::uint8_t>(item.getEventNum()));
    out.u32(static_cast<std::uint32_t>(origin.pid > 0 ? origin.pid : 0));
    out.u64(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(origin.time.time_since_epoch()).count()));
    out.text(origin.process);
    out.text(item.getItem1());
    out.text(item.getItem2());
}

std::size_t encodedSize(const TItemObj& item)
{
    return kMinEventBytes + item.getOrigin().process.size() + item.getItem1().size() + item.getItem2().size();
}

} // namespace

TFrameRead readHelperFrame(std::string_view bytes, std::size_t maxFrame)
{
    TFrameRead read;
    if (bytes.size() < 5)
        return read;
    TByteReader header(bytes);
    const std::uint32_t length = header.u32();
    const std::uint8_t version = header.u8();
    read.status = TFrameRead::Invalid;
    if (version != kHelperProtocol) {
        read.error = "a record of protocol version " + std::to_string(version) + ", not " +
                     std::to_string(kHelperProtocol) + " (the helper and the program come from different builds)";
        return read;
    }
    if (length < kFrameHeader - 4 || length > maxFrame - 4) {
        read.error = "a record of " + std::to_string(length) + " bytes, outside 2.." + std::to_string(maxFrame - 4);
        return read;
    }
    if (bytes.size() - 4 < length) {
        read.status = TFrameRead::Incomplete;
        return read;
    }
    read.status = TFrameRead::Complete;
    read.used = 4 + static_cast<std::size_t>(length);
    read.frame.kind = static_cast<THelperRecord>(static_cast<unsigned char>(bytes[5]));
    read.frame.payload = bytes.substr(kFrameHeader, read.used - kFrameHeader);
    return read;
}

std::string helperFrame(THelperRecord kind, std::string_view payload)
{
    std::string frame;
    frame.reserve(kFrameHeader + payload.size());
    TByteWriter out(frame);
    out.u32(static_cast<std::uint32_t>(payload.size() + 2));
    out.u8(kHelperProtocol);
    out.u8(static_cast<std::uint8_t>(kind));
    frame.append(payload);
    return frame;
}

std::string encodeWatchRequest(const TWatchRequest& request)
{
    std::string payload;
    TByteWriter out(payload);
    out.u32(kindsMask(request.kinds));
    out.text(request.root);
    return payload;
}

std::optional<TWatchRequest> decodeWatchRequest(std::string_view payload, std::string& why)
{
    TByteReader in(payload);
    const std::uint32_t mask = in.u32();
    const std::string_view root = in.text();
    if (!in.atEnd()) {
        why = "a malformed watch request";
        return std::nullopt;
    }
    if (mask >> kEventCount) {
        why = "a watch request with unknown event kinds";
        return std::nullopt;
    }
    if (root.empty() || root.front() != '/' || root.find('\0') != std::string_view::npos) {
        why = "a root that is not an absolute path";
        return std::nullopt;
    }
    if (root.size() > kMaxRootBytes) {
        why = "a root longer than " + std::to_string(kMaxRootBytes) + " bytes";
        return std::nullopt;
    }
    TWatchRequest request;
    for (int k = 0; k < kEventCount; ++k)
        request.kinds[static_cast<std::size_t>(k)] = (mask >> k) & 1u;
    request.root = std::string(root);
    return request;
}

std::string encodeWatchResult(const TWatchResult& result)
{
    std::string payload;
    TByteWriter out(payload);
    out.u8(static_cast<std::uint8_t>(result.status));
    out.text(result.reason);
    return payload;
}

std::optional<TWatchResult> decodeWatchResult(std::string_view payload)
{
    TByteReader in(payload);
    const std::uint8_t status = in.u8();
    const std::string_view reason = in.text();
    if (!in.atEnd() || status > static_cast<std::uint8_t>(TWatchStatus::Unmarkable))
        return std::nullopt;
    return TWatchResult{static_cast<TWatchStatus>(status), std::string(reason)};
}

std::string encodeHello(std::uint32_t pid)
{
    std::string payload;
    TByteWriter(payload).u32(pid);
    return payload;
}

std::optional<std::uint32_t> decodeHello(std::string_view payload)
{
    TByteReader in(payload);
    const std::uint32_t pid = in.u32();
    if (!in.atEnd() || pid == 0 || pid > INT_MAX)
        return std::nullopt;
    return pid;
}

std::string encodeCounters(const TCaptureCounters& counters)
{
    std::string payload;
    TByteWriter out(payload);
    for (std::uint64_t count :
         {counters.overflows, counters.unresolvedPaths, counters.undecodedEvents, counters.droppedEvents,
          counters.foldersNotWatched, counters.refusedRoots, counters.mergedPairs})
        out.u64(count);
    return payload;
}

std::optional<TCaptureCounters> decodeCounters(std::string_view payload)
{
    TByteReader in(payload);
    TCaptureCounters counters;
    for (std::uint64_t* count :
         {&counters.overflows, &counters.unresolvedPaths, &counters.undecodedEvents, &counters.droppedEvents,
          &counters.foldersNotWatched, &counters.refusedRoots, &counters.mergedPairs})
        *count = in.u64();
    if (!in.atEnd())
        return std::nullopt;
    return counters;
}

std::string encodeEventFrames(const std::vector<TItemObj>& items, std::uint64_t& skipped)
{
    constexpr std::size_t kRoom = kMaxHelperFrame - kFrameHeader - 4; // after the count
    std::string frames;
    std::size_t next = 0;
    while (next < items.size()) {
        std::string payload(4, '\0'); // the count, filled in below
        TByteWriter out(payload);
        std::uint32_t count = 0;
        for (; next < items.size(); ++next) {
            const std::size_t size = encodedSize(items[next]);
            if (size > kRoom) {
                ++skipped;
                continue;
            }
            if (payload.size() - 4 + size > kRoom)
                break;
            encodeEvent(out, items[next]);
            ++count;
        }
        if (count == 0)
            continue;
        for (int i = 0; i < 4; ++i)
            payload[static_cast<std::size_t>(i)] = static_cast<char>((count >> (8 * i)) & 0xFF);
        frames += helperFrame(THelperRecord::Events, payload);
    }
    return frames;
}

bool decodeEvents(std::string_view payload, std::vector<TItemObj>& items)
{
    TByteReader in(payload);
    const std::uint32_t count = in.u32();
    if (!in.ok() || count > in.left() / kMinEventBytes)
        return false;
    std::vector<TItemObj> decoded;
    decoded.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t eventNum = in.u8();
        const std::uint32_t pid = in.u32();
        const std::uint64_t nanoseconds = in.u64();
        const std::string_view process = in.text();
        const std::string_view item1 = in.text();
        const std::string_view item2 = in.text();
        if (!in.ok() || eventNum >= kEventCount || pid > INT_MAX || nanoseconds > LLONG_MAX)
            return false;
        const auto time =
            std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(static_cast<long long>(nanoseconds))));
        decoded.emplace_back(std::string(item1), std::string(item2), eventNum,
                             TEventOrigin{time, static_cast<int>(pid), std::string(process)});
    }
    if (!in.atEnd())
        return false;
    items.insert(items.end(), std::make_move_iterator(decoded.begin()), std::make_move_iterator(decoded.end()));
    return true;
}
