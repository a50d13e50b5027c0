// MD5 (RFC 1321): start, feed any number of byte ranges (of any length, zero included), finish.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using TMD5Digest = std::array<std::uint8_t, 16>;

// The working state of one digest; md5Final clears it to zero.
struct TMD5Context {
    std::uint32_t state[4];
    std::uint64_t length; // bytes fed so far
    std::uint8_t buffer[64];
};

void md5Init(TMD5Context& context);
void md5Update(TMD5Context& context, const void* data, std::size_t size);
TMD5Digest md5Final(TMD5Context& context);

// The digest of bytes held in memory.
TMD5Digest md5Of(const void* data, std::size_t size);
