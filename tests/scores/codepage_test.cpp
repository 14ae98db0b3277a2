// Windows-1252 <-> UTF-8 at the user-interface boundary.
#include <gtest/gtest.h>

#include <string>

#include "scores/codepage.h"

namespace {

struct Pair {
    const char* label;
    std::string cp1252;
    std::string utf8;
};

TEST(Codepage, ConvertsBothWays) {
    const Pair pairs[] = {
        {"ASCII", "Tarvik 3D, Runde 1!", "Tarvik 3D, Runde 1!"},
        {"umlauts and sharp s", "\xE4\xF6\xFC\xC4\xD6\xDC\xDF", "äöüÄÖÜß"},
        {"euro sign at 0x80", "\x80", "€"},
        {"the rest of 0x80-0x9F", "\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97\x98\x99"
                                  "\x9A\x9B\x9C\x9E\x9F",
         "‚ƒ„…†‡ˆ‰Š‹Œ\u017D\u2018\u2019\u201C\u201D•–—˜™š›œžŸ"},
        {"Latin-1 range", "\xA0\xA9\xB0\xBD\xE9\xFF", "\u00A0©°½éÿ"},
        {"unassigned bytes keep their number", "\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.label);
        EXPECT_EQ(Utf8FromCp1252(p.cp1252), p.utf8);
        EXPECT_EQ(Cp1252FromUtf8(p.utf8), p.cp1252);
    }
}

TEST(Codepage, EveryByteSurvivesTheWayThereAndBack) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Cp1252FromUtf8(Utf8FromCp1252(all)), all);
}

TEST(Codepage, CharactersOutside1252AndBrokenUtf8BecomeQuestionMarks) {
    const Pair cases[] = {
        {"two-byte character outside 1252", "?", "ł"},
        {"three-byte character", "a?b", "a日b"},
        {"four-byte character", "?", "\U0001F3CE"},
        {"C1 control that 1252 assigns elsewhere", "?", "\u0080"},
        {"lone continuation byte", "a?b", "a\x80" "b"},
        {"truncated sequence at the end", "a?", "a\xE2\x82"},
        {"truncated sequence before ASCII", "?x", "\xE2\x82x"},
        {"overlong encoding", "??", "\xC0\xAF"},
        {"surrogate", "???", "\xED\xA0\x80"},
        {"beyond U+10FFFF", "????", "\xF4\x90\x80\x80"},
        {"invalid lead byte", "?", "\xFF"},
    };
    for (const Pair& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Cp1252FromUtf8(c.utf8), c.cp1252);
    }
}

TEST(Codepage, BufferConversionCutsBetweenWholeCharacters) {
    // 40 umlauts are 80 bytes of UTF-8 but 40 characters of 1252; 38 fit.
    std::string umlauts;
    for (int i = 0; i < 40; ++i) umlauts += "ü";
    char name[39];
    EXPECT_EQ(Cp1252FromUtf8(umlauts, name, sizeof name), 38u);
    EXPECT_EQ(std::string(name), std::string(38, '\xFC'));

    char small[4];
    EXPECT_EQ(Cp1252FromUtf8("€uro", small, sizeof small), 3u);
    EXPECT_EQ(std::string(small), "\x80ur");

    char none[1] = {'x'};
    EXPECT_EQ(Cp1252FromUtf8("abc", none, sizeof none), 0u);
    EXPECT_EQ(none[0], '\0');
}

}  // namespace
