// The records that pass between the capture helper filesmonitor-capture and the program that
// started it. Pure functions over bytes, so that each side can check what the other sent: neither
// trusts the other, and a record that cannot be read is an answer, never undefined behaviour.
//
// A frame is a 4-byte little-endian length of what follows, then the protocol version, the
// record kind and the payload. Numbers inside are little-endian; a text is a 4-byte length and
// its bytes.
#pragma once

#include "capture/UntCaptureBackend.h"
#include "events/UntItemObj.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint8_t kHelperProtocol = 1;
inline constexpr std::size_t kFrameHeader = 6;               // length, version, kind
inline constexpr std::size_t kMaxHelperFrame = 1u << 20;     // helper to program: events, counts, texts
inline constexpr std::size_t kMaxRequestFrame = 64u * 1024u; // program to helper: one root each

enum class THelperRecord : std::uint8_t {
    // Program to helper.
    Watch = 1, // the kinds and one root
    Start = 2, // no more roots: capture until the input closes
    // Helper to program.
    Hello = 16,       // its pid: capture could start, requests are read from now on
    WatchResult = 17, // the answer to one Watch
    Events = 18,
    Counters = 19, // the counts so far, whenever they change
    Warning = 20,  // one line for the user
    Error = 21,    // why the helper ends with a non-zero exit code
    Finished = 22, // everything captured was sent; the helper ends with 0
};

struct THelperFrame {
    THelperRecord kind{};
    std::string_view payload; // points into the bytes given to readHelperFrame
};

// What the bytes at the start of a buffer hold: a whole frame, the beginning of one, or bytes
// that are no frame of this protocol (the stream cannot be followed any further).
struct TFrameRead {
    enum TStatus { Complete, Incomplete, Invalid };
    TStatus status = Incomplete;
    std::size_t used = 0; // Complete: the frame's bytes, header included
    THelperFrame frame;
    std::string error; // Invalid: why, for the user
};
// Frames longer than maxFrame (header included) are invalid. The kind is not checked: each side
// knows which kinds it takes.
TFrameRead readHelperFrame(std::string_view bytes, std::size_t maxFrame);
std::string helperFrame(THelperRecord kind, std::string_view payload = {});

struct TWatchRequest {
    TEventKinds kinds{};
    std::string root;
};
std::string encodeWatchRequest(const TWatchRequest& request);
// Null, with the reason in why, unless the payload is exactly one request whose root is an
// absolute path without NUL bytes and at most 4096 bytes long.
std::optional<TWatchRequest> decodeWatchRequest(std::string_view payload, std::string& why);

enum class TWatchStatus : std::uint8_t {
    Watched = 0,
    Refused = 1,    // the root itself: missing, or closed to the user
    Unmarkable = 2, // its filesystem refused the mark: another backend may still watch it
};
struct TWatchResult {
    TWatchStatus status = TWatchStatus::Refused;
    std::string reason; // empty when watched
};
std::string encodeWatchResult(const TWatchResult& result);
std::optional<TWatchResult> decodeWatchResult(std::string_view payload);

std::string encodeHello(std::uint32_t pid);
std::optional<std::uint32_t> decodeHello(std::string_view payload);

std::string encodeCounters(const TCaptureCounters& counters);
std::optional<TCaptureCounters> decodeCounters(std::string_view payload);

// Whole Events frames for the items, as many as needed to keep each within kMaxHelperFrame. An
// item too large for any frame is left out and counted in skipped.
std::string encodeEventFrames(const std::vector<TItemObj>& items, std::uint64_t& skipped);
// Appends the events of one payload to items; false, with items unchanged, when the payload is
// not a well-formed list of events with known event numbers.
bool decodeEvents(std::string_view payload, std::vector<TItemObj>& items);
