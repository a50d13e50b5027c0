// Names written into lines of output: one name never becomes two lines or a terminal command,
// and the escapes give back the exact bytes.
#include "util/UntNameEscape.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace std::string_literals;

bool hasLayoutOrControl(const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

TEST(NameEscape, AHostileNameStaysOneFieldAndComesBack)
{
    const std::string evil = "evil\nDelete\t-\tfake.txt\x1b[31mred\r\\";
    const std::string text = escapedName(evil, TNameEscape::Controls);
    EXPECT_EQ(text, "evil\\nDelete\\t-\\tfake.txt\\x1b[31mred\\r\\\\");
    EXPECT_EQ(unescapeName(text), evil);
    // JSON escapes controls itself: only the backslash is doubled, so the name stays readable.
    EXPECT_EQ(escapedName(evil, TNameEscape::InvalidUtf8), "evil\nDelete\t-\tfake.txt\x1b[31mred\r\\\\");
}

TEST(NameEscape, ValidUtf8StaysAndInvalidBytesAreEscaped)
{
    const std::string plain = "/home/anna/r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x93\x84.txt";
    EXPECT_TRUE(isValidUtf8(plain));
    EXPECT_EQ(escapedName(plain, TNameEscape::Controls), plain);
    EXPECT_EQ(escapedName(plain, TNameEscape::InvalidUtf8), plain);

    const std::string invalid = "a\xFF\xFE.txt";
    EXPECT_FALSE(isValidUtf8(invalid));
    EXPECT_EQ(escapedName(invalid, TNameEscape::InvalidUtf8), "a\\xff\\xfe.txt");
    EXPECT_EQ(unescapeName("a\\xff\\xfe.txt"), invalid);

    // Overlong forms, surrogates, values above U+10FFFF and cut sequences are not UTF-8.
    for (const std::string& bad : {"\xC0\xAF"s, "\xED\xA0\x80"s, "\xF4\x90\x80\x80"s, "\xE2\x82"s, "\x80"s}) {
        EXPECT_FALSE(isValidUtf8(bad)) << escapedName(bad, TNameEscape::Controls);
        EXPECT_EQ(escapedName(bad, TNameEscape::InvalidUtf8).find_first_of("\x80\xC0\xED\xF4\xE2"), std::string::npos);
    }
    // The C1 controls are valid UTF-8 but reach terminals as commands: escaped in text only.
    const std::string csi = "x\xC2\x9B"
                            "31m";
    EXPECT_EQ(escapedName(csi, TNameEscape::Controls), "x\\xc2\\x9b31m");
    EXPECT_EQ(escapedName(csi, TNameEscape::InvalidUtf8), csi);
}

TEST(NameEscape, EveryByteStringComesBackExactly)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    std::mt19937 random(7);
    std::vector<std::string> names = {all, "", "\\x41", "\\", "\\\\n"};
    for (int n = 0; n < 2000; ++n) {
        std::string name(random() % 12, '\0');
        for (char& c : name)
            c = static_cast<char>(random() % 4 == 0 ? "\\\xC2\x9B\xFF"[random() % 4] : random() % 256);
        names.push_back(name);
    }
    for (const std::string& name : names) {
        const std::string text = escapedName(name, TNameEscape::Controls);
        ASSERT_EQ(unescapeName(text), name);
        ASSERT_FALSE(hasLayoutOrControl(text));
        ASSERT_TRUE(isValidUtf8(text));
        const std::string json = escapedName(name, TNameEscape::InvalidUtf8);
        ASSERT_EQ(unescapeName(json), name);
        ASSERT_TRUE(isValidUtf8(json));
    }
}

TEST(NameEscape, AnUnknownOrCutEscapeIsKeptAsItStands)
{
    EXPECT_EQ(unescapeName("a\\qb\\x4"), "a\\qb\\x4");
    EXPECT_EQ(unescapeName("end\\"), "end\\");
    EXPECT_EQ(unescapeName("\\x4G"), "\\x4G");
}

} // namespace
