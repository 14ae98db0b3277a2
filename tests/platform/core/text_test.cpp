// Windows-1252 texts at the interface, UTF-8 inside.
#include <gtest/gtest.h>

#include "platform/core/win_text.h"

namespace {

TEST(Windows1252, ConvertsBothWays) {
    struct Row {
        std::string cp1252;
        std::string utf8;
    };
    const Row rows[] = {
        {"Gr\xFC\xDF" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"\x80 5", "\xE2\x82\xAC 5"},                            // the euro sign
        {"\x84Pelko\x93", "\xE2\x80\x9EPelko\xE2\x80\x9C"},      // German quotes
        {"Emmission", "Emmission"},
        {"", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Utf8FromWindows1252(row.cp1252), row.utf8);
        EXPECT_EQ(Windows1252FromUtf8(row.utf8), row.cp1252);
    }
}

TEST(Windows1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Windows1252FromUtf8(Utf8FromWindows1252(all)), all);
}

TEST(Windows1252, WhatTheCodePageLacksBecomesAQuestionMark) {
    EXPECT_EQ(Windows1252FromUtf8("\xE2\x86\x92"), "?");            // an arrow
    EXPECT_EQ(Windows1252FromUtf8("a\xF0\x9F\x98\x80" "b"), "a?b");   // outside the BMP
    EXPECT_EQ(Windows1252FromUtf8("a\xC3"), "a?");                   // cut off
    EXPECT_EQ(Windows1252FromUtf8("\xC0\xAF"), "?");                 // overlong
    EXPECT_EQ(Windows1252FromUtf8("\xE2\x82" "A"), "?A");            // broken in the middle
    EXPECT_EQ(Windows1252FromUtf8("\xED\xA0\x80"), "?");             // a surrogate
    EXPECT_FALSE(HasWindows1252Byte(0x2192));
    EXPECT_TRUE(HasWindows1252Byte(0x20AC));
    EXPECT_TRUE(HasWindows1252Byte(0xFC));
}

TEST(Windows1252, MessageBoxLineBreaksAndMnemonics) {
    EXPECT_EQ(UnixLineBreaks("Gesamtzeit:      0 ms\rAnzahl Aufrufe: 0\r\nx"), "Gesamtzeit:      0 ms\nAnzahl Aufrufe: 0\nx");
    EXPECT_EQ(WithoutMnemonic("&Beenden"), "Beenden");
    EXPECT_EQ(WithoutMnemonic("Sound && Licht"), "Sound & Licht");
    EXPECT_EQ(WithoutMnemonic("Ende&"), "Ende");
}

}  // namespace
