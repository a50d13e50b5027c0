#include "settings/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

TEST(Base64, EncodesAndDecodesTheStandardVectors)
{
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [text, encoded] : vectors) {
        EXPECT_EQ(textToBase64(text), encoded) << text;
        EXPECT_EQ(base64ToText(encoded), text) << encoded;
    }
}

TEST(Base64, EventLinesEncodeToFourCharactersEach)
{
    EXPECT_EQ(textToBase64("Y\r\n"), "WQ0K");
    EXPECT_EQ(textToBase64("N\r\n"), "Tg0K");
    std::string lines;
    std::string expected;
    for (int i = 0; i < 19; ++i) {
        lines += i == 3 ? "N\r\n" : "Y\r\n";
        expected += i == 3 ? "Tg0K" : "WQ0K";
    }
    EXPECT_EQ(textToBase64(lines), expected);
    EXPECT_EQ(expected.size(), 76u);
}

TEST(Base64, KeepsEveryByteValue)
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    const std::string encoded = textToBase64(bytes);
    EXPECT_EQ(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_EQ(base64ToText(encoded), bytes);
    EXPECT_EQ(textToBase64("C:\\T\xC3\xA9mp\\"), "QzpcVMOpbXBc"); // UTF-8 bytes, no byte-order mark
}

TEST(Base64, InvalidInputNeverFails)
{
    // Characters outside the alphabet are skipped wherever they are.
    EXPECT_EQ(base64ToText("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(base64ToText(" Z!m@9#v "), "foo");
    // A final group of fewer than four characters is ignored.
    EXPECT_EQ(base64ToText("Zm9vYg"), "foo");
    EXPECT_EQ(base64ToText("Z"), "");
    // Misplaced padding drops only its own group.
    EXPECT_EQ(base64ToText("=Zm9Zm9v"), "foo");
    EXPECT_EQ(base64ToText("Z===Zm9v"), "foo");
    EXPECT_EQ(base64ToText("Zg==Zm8="), "ffo");
    EXPECT_EQ(base64ToText("===="), "");
    EXPECT_EQ(base64ToText(std::string("\0\xff\x80", 3)), "");
}
