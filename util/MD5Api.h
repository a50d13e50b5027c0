// File digests for the export report: the MD5 of a file's bytes as 32 lowercase hex digits.
#pragma once

#include "util/MD5Core.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Two digits per byte, high four bits first, "0123456789abcdef".
std::string digestToHex(const TMD5Digest& digest);

// True only for a regular file (symbolic links followed). Folders, FIFOs, sockets and device
// nodes are not digested: reading a FIFO could wait forever and a device may never end.
bool isExistingFile(const std::string& path);

// The digest text of the file; empty text when the path does not name an existing file. A file
// that cannot be read, and a file of zero bytes, give d41d8cd98f00b204e9800998ecf8427e, the
// digest of no data; so does a file that vanishes between the test and the reading.
std::string getFileMD5(const std::string& path);

// Fills digest with the MD5 of the file; leaves it as it was when the path does not name an
// existing file. Never throws for anything the file system does.
void digestFile(const std::string& path, TMD5Digest& digest);

// Small enough that a cancel is seen within a few milliseconds, large enough that mapping costs
// nothing next to the digest.
inline constexpr std::uint64_t kDigestWindowBytes = std::uint64_t{8} << 20;

// One file opened for digesting through read-only mapped windows of windowBytes (rounded up to
// the system's mapping granularity), so a file larger than the address space allows is still
// read in one pass. The size to digest is fixed when the file is opened (on Windows the mapping
// is created then): bytes appended later are not read.
class TFileDigestObj {
public:
    explicit TFileDigestObj(const std::string& path, std::uint64_t windowBytes = kDigestWindowBytes);
    ~TFileDigestObj();
    TFileDigestObj(const TFileDigestObj&) = delete;
    TFileDigestObj& operator=(const TFileDigestObj&) = delete;

    // False when the file could not be opened (locked, access denied, gone, not a regular file).
    bool isOpen() const { return open_; }
    // The bytes digest() will read; 0 when the file is not open or could not be mapped.
    std::uint64_t getSize() const { return size_; }
    // The digest of the first getSize() bytes; the digest of no data when the file is not open,
    // a window cannot be mapped, or the file shrank under the reading.
    TMD5Digest digest();
    // The same, looking at cancelled (set from any thread) before each window: nothing once set.
    std::optional<TMD5Digest> digestUnless(const std::atomic<bool>& cancelled);

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
    bool open_ = false;
    std::uint64_t size_ = 0;
};
