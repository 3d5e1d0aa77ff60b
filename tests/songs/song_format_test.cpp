// Which format a song file is in: the game's own files stay with the game's reader, whatever
// only the standard format writes sends a file to the standard reader, and the override tag wins.

#include "songs/song_format.h"
#include "songs/song_text_writer.h"

#include <gtest/gtest.h>
#include <string>

using namespace cantorix::songs;

namespace {

using enum SongFormat;

// The shape of the demo songs the build writes.
const std::string kDemoSong = "#TITLE:Harbour Lights\r\n#ARTIST:Cantorix\r\n"
                              "#MP3:Cantorix - Harbour Lights.mp3\r\n#VIDEO:harbour.avi\r\n"
                              "#BPM:112,5\r\n#GAP:6500\r\n: 0 4 21 Low \r\n: 4 4 28 lamps \r\n"
                              ": 8 4 31 a\r\n- 12\r\n: 12 8 33 long \r\n* 20 4 -1 the \r\nE\r\n";
const std::string kHeader = "#TITLE:x\n#BPM:120\n#GAP:250\n";

TEST(SongFormatTest, EachRuleDecidesTheFormat) {
    struct Case {
        std::string text;
        SongFormat format;
    };
    const Case cases[] = {
        {kDemoSong, Game},
        {"\xEF\xBB\xBF" + kDemoSong, Game},
        // The game's own tolerances: a pitch of its scale written with a sign or stored modulo
        // 256 is read as written, lines after the end, tags it ignores, tags without a value.
        {kHeader + ": 0 1 +10 a\n: 1 1 048 b\nE\nP1\nF 1 2 3 x\n: 1 1 0 c", Game},
        {"#EDITION:x\n#VERSION:\n#AUDIO: \n" + kHeader + ": 0 1 10 a\nE", Game},
        {kHeader + ": 0 1 10 a\n- 5\n-7\n# comment\nx\nE", Game},
        // Rule 1: a tag only the standard format knows.
        {"#version:1.0.0\n" + kHeader + ": 0 1 10 a\nE", Standard},
        {"#RELATIVE:no\n" + kHeader + ": 0 1 10 a\nE", Standard},
        {"#ENCODING:auto\n" + kHeader + ": 0 1 10 a\nE", Standard},
        {"#AUDIO:a.ogg\n" + kHeader + ": 0 1 10 a\nE", Standard},
        {"#P1:Ann\n" + kHeader + ": 0 1 10 a\nE", Standard},
        {"#P2:Bob\n" + kHeader + ": 0 1 10 a\nE", Standard},
        {"#DuetSingerP1:Ann\n" + kHeader + ": 0 1 10 a\nE", Standard},
        {"#DUETSINGERP2:Bob\n" + kHeader + ": 0 1 10 a\nE", Standard},
        // Rule 2: a body line of a kind only the standard format has, or a two-number break.
        {kHeader + ": 0 1 10 a\n  F 1 1 10 x\nE", Standard},
        {kHeader + ": 0 1 10 a\nR 1 1 10 x\nE", Standard},
        {kHeader + ": 0 1 10 a\nG 1 1 10 x\nE", Standard},
        {kHeader + "P1\n: 0 1 10 a\nE", Standard},
        {kHeader + ": 0 1 10 a\np2\nE", Standard},
        {kHeader + ": 0 1 10 a\n- 20 24\nE", Standard},
        {kHeader + ": 0 1 10 a\n\t-20 24\nE", Standard},
        // Rule 3: a pitch outside the game's scale, as written.
        {kHeader + ": 0 1 20 a\nE", Standard},
        {kHeader + "* 0 1 0 a\nE", Standard},
        {kHeader + ": 0 1 266 a\nE", Standard},
        {kHeader + ": 0 1 -2 a\nE", Standard},
        {kHeader + ": 0 1 49 a\nE", Standard},
        // A UTF-16 file can be no game file; encoding detection comes first, so the rules see
        // its text.
        {std::string("\xFF\xFE#\0T\0:\0x\0", 10), Standard},
        // The override, in any case, wins over every rule.
        {"#CANTORIX-FORMAT:standard\n" + kDemoSong, Standard},
        {"#Cantorix-Format: GAME \n#VERSION:1.0.0\n" + kHeader + "P1\n: 0 1 0 a\n- 3 4\nE", Game},
        {"#CANTORIX-FORMAT:other\n#VERSION:1.0.0\n" + kHeader + ": 0 1 10 a\nE", Standard},
        // Only the header holds tags; nothing after a zero byte counts, as the game reads no
        // further.
        {kHeader + ": 0 1 10 a\n#VERSION:1.0.0\nE", Game},
        {kHeader + ": 0 1 10 a\n" + std::string(1, '\0') + "\nP1\n: 0 1 0 x", Game},
    };
    for (const Case& c : cases)
        EXPECT_EQ(detectSongFormat(c.text), c.format) << c.text;
}

TEST(SongFormatTest, TheEditorsDraftsStayGameFilesForEveryPitchOfTheScale) {
    const int gamePitches[] = {-1, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22,
                               23, 25, 26, 28, 30, 31, 33, 35, 38, 40, 42, 45, 48};
    EditorSongText draft;
    draft.title = "Draft";
    draft.artist = "Someone";
    draft.mp3File = "/home/me/music/draft.mp3";
    draft.videoFile = "clip.avi";
    draft.bpmText = "120";
    draft.gapValue = 370;
    int start = 0;
    for (const int pitch : gamePitches) {
        draft.notes.push_back({start, 3, pitch, "-"});
        start += 4;
    }
    const std::string text = composeEditorSongText(draft);
    EXPECT_EQ(detectSongFormat(text), Game);
    // The video editor's rewrite keeps it one.
    EXPECT_EQ(detectSongFormat(rewriteVideoLine(text, "other.avi")), Game);
}

} // namespace
