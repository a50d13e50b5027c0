// The directory-change backend: one recursive, overlapped ReadDirectoryChangesW per root, on
// the monitor thread's wait beside its messages, with the shell's registrations kept for the
// kinds only the shell tells. The backend type stays in its .cpp; chooseBackend hands it out.
#pragma once
#ifdef _WIN32

#include "capture/UntCaptureBackend.h"
#include "capture/UntDirChangeDecoder.h"

#include <cstddef>
#include <memory>
#include <vector>

// Each read's buffer: the most a read may ask for on a network drive.
inline constexpr std::size_t kDirReadBytes = 64 * 1024;
// Roots one thread can wait on beside its messages (MAXIMUM_WAIT_OBJECTS - 1).
inline constexpr std::size_t kMaxDirRoots = 63;
// What the reads never give: drives, media, shares, servers, associations and images.
inline constexpr int kShellOnlyKinds[] = {evAssociation,      evDriveAdd,     evDriveAddGui, evDriveRemoved,
                                          evMediaInserted,    evMediaRemoved, evNetShare,    evNetUnshare,
                                          evServerDisconnect, evUpdateImage};

struct TDirParseResult {
    bool intact = true;           // false: a record ran past the data; those before it are kept
    std::size_t inexactNames = 0; // names that were not valid UTF-16, kept with U+FFFD in their place
};

// The records of one completed read (FILE_NOTIFY_INFORMATION, one after another) appended to out.
TDirParseResult parseDirRecords(const void* data, std::size_t size, std::vector<TDirRecord>& out);

std::unique_ptr<TCaptureBackend> makeDirChangesBackend();

#endif
