#include "settings/Base64.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kPad = 64;
constexpr int kInvalid = -1;

constexpr std::array<int, 256> kValues = [] {
    std::array<int, 256> values{};
    values.fill(kInvalid);
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = i;
    values['='] = kPad;
    return values;
}();

// Appends the bytes of one complete group, or nothing when its padding is misplaced.
void decodeGroup(const std::array<int, 4>& g, std::string& out)
{
    int padding = 0;
    for (int i = 0; i < 4; ++i) {
        if (g[i] == kPad)
            ++padding;
        else if (padding > 0)
            return; // a letter after '='
    }
    if (padding > 2)
        return;
    auto bits = [&](int i) { return g[i] == kPad ? 0u : static_cast<std::uint32_t>(g[i]); };
    const std::uint32_t n = (bits(0) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
    out.push_back(static_cast<char>((n >> 16) & 0xFF));
    if (padding < 2)
        out.push_back(static_cast<char>((n >> 8) & 0xFF));
    if (padding < 1)
        out.push_back(static_cast<char>(n & 0xFF));
}

} // namespace

std::string textToBase64(std::string_view text)
{
    std::string out;
    out.reserve((text.size() + 2) / 3 * 4);
    std::size_t i = 0;
    auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(text[k])); };
    for (; i + 3 <= text.size(); i += 3) {
        const std::uint32_t n = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        out.push_back(kAlphabet[(n >> 18) & 63]);
        out.push_back(kAlphabet[(n >> 12) & 63]);
        out.push_back(kAlphabet[(n >> 6) & 63]);
        out.push_back(kAlphabet[n & 63]);
    }
    const std::size_t rest = text.size() - i;
    if (rest > 0) {
        const std::uint32_t n = (byte(i) << 16) | (rest == 2 ? byte(i + 1) << 8 : 0u);
        out.push_back(kAlphabet[(n >> 18) & 63]);
        out.push_back(kAlphabet[(n >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(n >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::string base64ToText(std::string_view base64)
{
    std::string out;
    out.reserve(base64.size() / 4 * 3);
    std::array<int, 4> group{};
    std::size_t filled = 0;
    for (const char c : base64) {
        const int value = kValues[static_cast<unsigned char>(c)];
        if (value == kInvalid)
            continue;
        group[filled++] = value;
        if (filled == 4) {
            decodeGroup(group, out);
            filled = 0;
        }
    }
    return out;
}
