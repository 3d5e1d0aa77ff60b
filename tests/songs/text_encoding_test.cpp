#include "songs/song_lines.h"
#include "songs/text_encoding.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace cantorix::songs;

namespace {

using namespace std::string_view_literals;
using Lines = std::vector<std::string_view>;

TEST(SongLinesTest, CrLfAndCrLfEachEndALine) {
    EXPECT_EQ(splitSongLines("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(splitSongLines("a\n\rb"), (Lines{"a", "", "b"})); // LF CR is two ends
    EXPECT_EQ(splitSongLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
}

TEST(SongLinesTest, AFinalTerminatorMakesNoExtraLine) {
    EXPECT_EQ(splitSongLines(""), Lines{});
    EXPECT_EQ(splitSongLines("\r\n"), Lines{""});
    EXPECT_EQ(splitSongLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(splitSongLines("a\r"), Lines{"a"});
    EXPECT_EQ(splitSongLines("a\n\n"), (Lines{"a", ""}));
}

TEST(SongLinesTest, TheTextEndsAtAZeroByteAndLosesItsByteOrderMark) {
    EXPECT_EQ(songTextOf("a\nb\0c\nd"sv), "a\nb");
    EXPECT_EQ(songTextOf("\xEF\xBB\xBF#TITLE:x"), "#TITLE:x");
    EXPECT_EQ(songTextOf("#TITLE:\xEF\xBB\xBF"), "#TITLE:\xEF\xBB\xBF");
}

TEST(TextEncodingTest, StrictUtf8) {
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("Tr\xC3\xA4ume \xE2\x82\xAC \xF0\x9F\x8E\xA4"));
    EXPECT_FALSE(isValidUtf8("Tr\xE4ume"));        // a Windows-1252 umlaut
    EXPECT_FALSE(isValidUtf8("\xC0\x80"));         // overlong zero
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));     // overlong slash
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));         // cut short
    EXPECT_FALSE(isValidUtf8("\x80"));             // continuation alone
}

TEST(TextEncodingTest, Windows1252UsesTheFullTable) {
    EXPECT_EQ(windows1252ToUtf8("Tr\xE4ume \xDF"), "Tr\xC3\xA4ume \xC3\x9F");
    EXPECT_EQ(windows1252ToUtf8("\x80\x85\x8A\x92\x99\x9F"),
              "\xE2\x82\xAC\xE2\x80\xA6\xC5\xA0\xE2\x80\x99\xE2\x84\xA2\xC5\xB8");
    EXPECT_EQ(windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"),
              "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(windows1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
}

TEST(TextEncodingTest, DisplayTextFollowsTheEncodingOfTheWholeText) {
    EXPECT_EQ(detectTextEncoding("#TITLE:Tr\xC3\xA4ume\n"), TextEncoding::Utf8);
    EXPECT_EQ(detectTextEncoding("#TITLE:Tr\xC3\xA4ume\n: 0 1 2 \xE4\n"),
              TextEncoding::Windows1252);
    EXPECT_EQ(toDisplayText("Tr\xC3\xA4ume", TextEncoding::Utf8), "Tr\xC3\xA4ume");
    EXPECT_EQ(toDisplayText("Tr\xC3\xA4ume", TextEncoding::Windows1252), "Tr\xC3\x83\xC2\xA4ume");
    EXPECT_EQ(toDisplayText("\xE4", TextEncoding::Utf8), "\xC3\xA4");
}

} // namespace
