// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/cp1252.h"

#include <gtest/gtest.h>
#include <string>

namespace kestle {
namespace {

TEST(Utf8ToCp1252, MapsTheCodePage) {
    EXPECT_EQ(utf8ToCp1252("i\xE2\x80\x99m "), "i\x92m ");
    EXPECT_EQ(utf8ToCp1252("plain ASCII\r\n"), "plain ASCII\r\n");
    EXPECT_EQ(utf8ToCp1252("\xE2\x82\xAC"), "\x80");                 // €
    EXPECT_EQ(utf8ToCp1252("\xC5\xB8"), "\x9F");                     // Ÿ
    EXPECT_EQ(utf8ToCp1252("\xE2\x80\x94\xE2\x84\xA2"), "\x97\x99"); // — ™
    EXPECT_EQ(utf8ToCp1252("caf\xC3\xA9 \xC3\xBF"), "caf\xE9 \xFF");
    EXPECT_EQ(utf8ToCp1252("\xC2\xA0"), "\xA0");
    EXPECT_EQ(utf8ToCp1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8ToCp1252, UnassignedBytesKeepTheirC1Controls) {
    EXPECT_EQ(utf8ToCp1252("\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"), "\x81\x8D\x8F\x90\x9D");
    // Other C1 controls have no byte: 0x80 and 0x9F hold € and Ÿ.
    EXPECT_EQ(utf8ToCp1252("\xC2\x80\xC2\x9F"), "??");
}

TEST(Utf8ToCp1252, MissingCharactersBecomeQuestionMarks) {
    EXPECT_EQ(utf8ToCp1252("\xE6\x97\xA5"), "?");         // 日
    EXPECT_EQ(utf8ToCp1252("a\xF0\x9F\x98\x80z"), "a?z"); // emoji
    EXPECT_EQ(utf8ToCp1252("\xC4\x80"), "?");             // Ā
}

TEST(Utf8ToCp1252, EachInvalidByteBecomesAQuestionMark) {
    EXPECT_EQ(utf8ToCp1252("\xFF\xFE"), "??");
    EXPECT_EQ(utf8ToCp1252("\xE2\x82"
                           "A"),
              "??A");                               // truncated
    EXPECT_EQ(utf8ToCp1252("x\xE2\x82"), "x??");    // truncated at the end
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "??");      // overlong
    EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80"), "???"); // surrogate
    EXPECT_EQ(utf8ToCp1252("\x80"
                           "a"),
              "?a"); // lone continuation
}

TEST(Cp1252ToUtf8, EveryByteDecodesAndRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = cp1252ToUtf8(byte);
        EXPECT_TRUE(isValidUtf8(utf8)) << b;
        EXPECT_EQ(utf8ToCp1252(utf8), byte) << b;
    }
}

TEST(Cp1252ToUtf8, DecodesTheSpecialRange) {
    EXPECT_EQ(cp1252ToUtf8("i\x92m"), "i\xE2\x80\x99m");
    EXPECT_EQ(cp1252ToUtf8("\x80\x83\x9F"), "\xE2\x82\xAC\xC6\x92\xC5\xB8"); // € ƒ Ÿ
    EXPECT_EQ(cp1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D");
    EXPECT_EQ(cp1252ToUtf8("\xE9\xFF"), "\xC3\xA9\xC3\xBF");
    EXPECT_EQ(cp1252ToUtf8(""), "");
}

TEST(IsValidUtf8, AcceptsWellFormedText) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("ASCII"));
    EXPECT_TRUE(isValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_TRUE(isValidUtf8("\xED\x9F\xBF"));     // U+D7FF, just below the surrogates
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF")); // U+10FFFF
}

TEST(IsValidUtf8, RejectsOverlongsSurrogatesAndBeyondRange) {
    for (const char* bytes :
         {"\xC0\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
          "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\x80", "\xC3",
          "\xE2\x82", "\xC3\x28", "\xE2\x28\xA1", "i\x92m"})
        EXPECT_FALSE(isValidUtf8(bytes)) << bytes;
}

TEST(NextUtf8, DecodesAndAdvances) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF";
    std::size_t pos = 0;
    EXPECT_EQ(nextUtf8(text, pos), U'a');
    EXPECT_EQ(nextUtf8(text, pos), U'\u00E9');
    EXPECT_EQ(nextUtf8(text, pos), U'\u20AC');
    EXPECT_EQ(nextUtf8(text, pos), U'\U0001F600');
    EXPECT_EQ(pos, 10u);
    EXPECT_EQ(nextUtf8(text, pos), std::nullopt);
    EXPECT_EQ(pos, text.size());
}

} // namespace
} // namespace kestle
