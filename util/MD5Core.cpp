#include "util/MD5Core.h"

#include <algorithm>
#include <cstring>

namespace {

inline std::uint32_t rotl(std::uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t load32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void store32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Each step adds the message word, the constant and every term that does not need b (the
// result of the step before) first, so that only the last operations wait for b. In G the two
// terms have no bit in common, so their OR is their sum.
#define FM_MD5_STEP_F(a, b, c, d, x, t, s)                                                                             \
    (a) += (x) + (t);                                                                                                  \
    (a) += (((c) ^ (d)) & (b)) ^ (d);                                                                                  \
    (a) = rotl((a), (s)) + (b)
#define FM_MD5_STEP_G(a, b, c, d, x, t, s)                                                                             \
    (a) += (x) + (t) + ((c) & ~(d));                                                                                   \
    (a) += (b) & (d);                                                                                                  \
    (a) = rotl((a), (s)) + (b)
#define FM_MD5_STEP_H(a, b, c, d, x, t, s)                                                                             \
    (a) += (x) + (t);                                                                                                  \
    (a) += ((c) ^ (d)) ^ (b);                                                                                          \
    (a) = rotl((a), (s)) + (b)
#define FM_MD5_STEP_I(a, b, c, d, x, t, s)                                                                             \
    (a) += (x) + (t);                                                                                                  \
    (a) += ((b) | ~(d)) ^ (c);                                                                                         \
    (a) = rotl((a), (s)) + (b)

// Processes whole 64-byte blocks.
void transform(std::uint32_t state[4], const std::uint8_t* data, std::size_t blocks)
{
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = load32(data + 4 * i);
        const std::uint32_t aa = a, bb = b, cc = c, dd = d;

        FM_MD5_STEP_F(a, b, c, d, x[0], 0xd76aa478, 7);
        FM_MD5_STEP_F(d, a, b, c, x[1], 0xe8c7b756, 12);
        FM_MD5_STEP_F(c, d, a, b, x[2], 0x242070db, 17);
        FM_MD5_STEP_F(b, c, d, a, x[3], 0xc1bdceee, 22);
        FM_MD5_STEP_F(a, b, c, d, x[4], 0xf57c0faf, 7);
        FM_MD5_STEP_F(d, a, b, c, x[5], 0x4787c62a, 12);
        FM_MD5_STEP_F(c, d, a, b, x[6], 0xa8304613, 17);
        FM_MD5_STEP_F(b, c, d, a, x[7], 0xfd469501, 22);
        FM_MD5_STEP_F(a, b, c, d, x[8], 0x698098d8, 7);
        FM_MD5_STEP_F(d, a, b, c, x[9], 0x8b44f7af, 12);
        FM_MD5_STEP_F(c, d, a, b, x[10], 0xffff5bb1, 17);
        FM_MD5_STEP_F(b, c, d, a, x[11], 0x895cd7be, 22);
        FM_MD5_STEP_F(a, b, c, d, x[12], 0x6b901122, 7);
        FM_MD5_STEP_F(d, a, b, c, x[13], 0xfd987193, 12);
        FM_MD5_STEP_F(c, d, a, b, x[14], 0xa679438e, 17);
        FM_MD5_STEP_F(b, c, d, a, x[15], 0x49b40821, 22);

        FM_MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5);
        FM_MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9);
        FM_MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14);
        FM_MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20);
        FM_MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5);
        FM_MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9);
        FM_MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14);
        FM_MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20);
        FM_MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5);
        FM_MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9);
        FM_MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14);
        FM_MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20);
        FM_MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5);
        FM_MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9);
        FM_MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14);
        FM_MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20);

        FM_MD5_STEP_H(a, b, c, d, x[5], 0xfffa3942, 4);
        FM_MD5_STEP_H(d, a, b, c, x[8], 0x8771f681, 11);
        FM_MD5_STEP_H(c, d, a, b, x[11], 0x6d9d6122, 16);
        FM_MD5_STEP_H(b, c, d, a, x[14], 0xfde5380c, 23);
        FM_MD5_STEP_H(a, b, c, d, x[1], 0xa4beea44, 4);
        FM_MD5_STEP_H(d, a, b, c, x[4], 0x4bdecfa9, 11);
        FM_MD5_STEP_H(c, d, a, b, x[7], 0xf6bb4b60, 16);
        FM_MD5_STEP_H(b, c, d, a, x[10], 0xbebfbc70, 23);
        FM_MD5_STEP_H(a, b, c, d, x[13], 0x289b7ec6, 4);
        FM_MD5_STEP_H(d, a, b, c, x[0], 0xeaa127fa, 11);
        FM_MD5_STEP_H(c, d, a, b, x[3], 0xd4ef3085, 16);
        FM_MD5_STEP_H(b, c, d, a, x[6], 0x04881d05, 23);
        FM_MD5_STEP_H(a, b, c, d, x[9], 0xd9d4d039, 4);
        FM_MD5_STEP_H(d, a, b, c, x[12], 0xe6db99e5, 11);
        FM_MD5_STEP_H(c, d, a, b, x[15], 0x1fa27cf8, 16);
        FM_MD5_STEP_H(b, c, d, a, x[2], 0xc4ac5665, 23);

        FM_MD5_STEP_I(a, b, c, d, x[0], 0xf4292244, 6);
        FM_MD5_STEP_I(d, a, b, c, x[7], 0x432aff97, 10);
        FM_MD5_STEP_I(c, d, a, b, x[14], 0xab9423a7, 15);
        FM_MD5_STEP_I(b, c, d, a, x[5], 0xfc93a039, 21);
        FM_MD5_STEP_I(a, b, c, d, x[12], 0x655b59c3, 6);
        FM_MD5_STEP_I(d, a, b, c, x[3], 0x8f0ccc92, 10);
        FM_MD5_STEP_I(c, d, a, b, x[10], 0xffeff47d, 15);
        FM_MD5_STEP_I(b, c, d, a, x[1], 0x85845dd1, 21);
        FM_MD5_STEP_I(a, b, c, d, x[8], 0x6fa87e4f, 6);
        FM_MD5_STEP_I(d, a, b, c, x[15], 0xfe2ce6e0, 10);
        FM_MD5_STEP_I(c, d, a, b, x[6], 0xa3014314, 15);
        FM_MD5_STEP_I(b, c, d, a, x[13], 0x4e0811a1, 21);
        FM_MD5_STEP_I(a, b, c, d, x[4], 0xf7537e82, 6);
        FM_MD5_STEP_I(d, a, b, c, x[11], 0xbd3af235, 10);
        FM_MD5_STEP_I(c, d, a, b, x[2], 0x2ad7d2bb, 15);
        FM_MD5_STEP_I(b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef FM_MD5_STEP_F
#undef FM_MD5_STEP_G
#undef FM_MD5_STEP_H
#undef FM_MD5_STEP_I

} // namespace

void md5Init(TMD5Context& context)
{
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.length = 0;
    std::memset(context.buffer, 0, sizeof context.buffer);
}

void md5Update(TMD5Context& context, const void* data, std::size_t size)
{
    if (size == 0)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::size_t used = static_cast<std::size_t>(context.length % 64);
    context.length += size;

    if (used > 0) {
        const std::size_t take = std::min<std::size_t>(64 - used, size);
        std::memcpy(context.buffer + used, bytes, take);
        bytes += take;
        size -= take;
        if (used + take < 64)
            return;
        transform(context.state, context.buffer, 1);
    }
    const std::size_t blocks = size / 64;
    transform(context.state, bytes, blocks);
    bytes += blocks * 64;
    size -= blocks * 64;
    if (size > 0)
        std::memcpy(context.buffer, bytes, size);
}

TMD5Digest md5Final(TMD5Context& context)
{
    const std::uint64_t bits = context.length * 8;
    static constexpr std::uint8_t kPadding[64] = {0x80};
    const std::size_t used = static_cast<std::size_t>(context.length % 64);
    md5Update(context, kPadding, used < 56 ? 56 - used : 120 - used);
    std::uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    md5Update(context, lengthBytes, sizeof lengthBytes);

    TMD5Digest digest;
    for (int i = 0; i < 4; ++i)
        store32(digest.data() + 4 * i, context.state[i]);
    // The state belongs to this one digest; leave nothing of it behind.
    volatile std::uint8_t* wipe = reinterpret_cast<volatile std::uint8_t*>(&context);
    for (std::size_t i = 0; i < sizeof context; ++i)
        wipe[i] = 0;
    return digest;
}

TMD5Digest md5Of(const void* data, std::size_t size)
{
    TMD5Context context;
    md5Init(context);
    md5Update(context, data, size);
    return md5Final(context);
}
