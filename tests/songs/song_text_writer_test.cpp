#include "songs/song_errors.h"
#include "songs/song_file.h"
#include "songs/song_text_writer.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

using namespace cantorix::songs;

namespace {

EditorSongText editorSong() {
    EditorSongText song;
    song.title = "My Song";
    song.artist = "Me";
    song.mp3File = "/home/me/music/take 1.mp3";
    song.bpmText = "120";
    song.gapValue = 30;
    song.notes = {{0, 4, 5, "-"}, {6, 2, -3, "-"}, {9, 300, 12, "la la"}};
    return song;
}

TEST(SongTextWriterTest, TheEditorTextListsTheTagsThenOneLinePerNote) {
    EXPECT_EQ(composeEditorSongText(editorSong()),
              "#TITLE:My Song\r\n#ARTIST:Me\r\n#MP3:take 1.mp3\r\n#BPM:120\r\n#GAP:30\r\n"
              ": 0 4 5 -\r\n: 6 2 -3 -\r\n: 9 300 12 la la\r\nE\r\n");
}

TEST(SongTextWriterTest, TheVideoLineOnlyWhenAClipWasPicked) {
    EditorSongText song = editorSong();
    song.mp3File.clear();
    song.videoFile = "clips/clip.avi";
    song.notes.clear();
    EXPECT_EQ(composeEditorSongText(song),
              "#TITLE:My Song\r\n#ARTIST:Me\r\n#MP3:\r\n#VIDEO:clip.avi\r\n#BPM:120\r\n"
              "#GAP:30\r\nE\r\n");
}

TEST(SongTextWriterTest, TheEditorTextReadsBackAsWritten) {
    SongFile song;
    song.load(composeEditorSongText(editorSong()), "songs/Mine", "My Song.txt");
    EXPECT_EQ(song.songTitle(), "My Song");
    EXPECT_EQ(song.audioPath(), "songs/Mine/take 1.mp3");
    EXPECT_EQ(song.headerLineCount(), 5);
    EXPECT_EQ(song.recordCount(), 4u);
    EXPECT_EQ(song.songRecords()[1], (SongRecord{false, 6, 2, 253, "-"}));
    EXPECT_EQ(song.songRecords()[2], (SongRecord{false, 9, 44, 12, "la la"}));
}

TEST(SongTextWriterTest, TextsThatWouldNotReadBackAreRefused) {
    EditorSongText song = editorSong();
    song.title = "two\r\nlines";
    EXPECT_THROW(composeEditorSongText(song), std::invalid_argument);
    song = editorSong();
    song.notes[1].syllable.clear();
    EXPECT_THROW(composeEditorSongText(song), std::invalid_argument);
    EXPECT_THROW(rewriteVideoLine("#TITLE:x\r\nE\r\n", "a\nb.avi"), std::invalid_argument);
}

TEST(SongTextWriterTest, TheVideoRewriteDeletesTheLastHeaderLineStartingWithV) {
    // "#VIDEOGAP" is the last "#V" line within lines 0 to count - 5, so it goes, not "#VIDEO".
    const std::string text = "#TITLE:t\n#ARTIST:a\n#MP3:m.mp3\n#VIDEO:old.avi\n#VIDEOGAP:2\n"
                             "#BPM:1\n#GAP:0\n: 0 1 2 a\n: 1 1 2 b\n: 2 1 2 c\nE\n";
    EXPECT_EQ(rewriteVideoLine(text, "/videos/new.avi"),
              "#TITLE:t\r\n#ARTIST:a\r\n#VIDEO:new.avi\r\n#MP3:m.mp3\r\n#VIDEO:old.avi\r\n"
              "#BPM:1\r\n#GAP:0\r\n: 0 1 2 a\r\n: 1 1 2 b\r\n: 2 1 2 c\r\nE\r\n");
}

TEST(SongTextWriterTest, TheLastFourLinesAreNeverSearched) {
    // Six lines: only lines 0 and 1 are searched, so the old video line at index 2 stays.
    EXPECT_EQ(rewriteVideoLine("#TITLE:t\r\n#GAP:0\r\n#VIDEO:old.avi\r\n#BPM:1\r\n"
                               ": 0 1 2 a\r\nE\r\n",
                               "new.avi"),
              "#TITLE:t\r\n#GAP:0\r\n#VIDEO:new.avi\r\n#VIDEO:old.avi\r\n#BPM:1\r\n"
              ": 0 1 2 a\r\nE\r\n");
    EXPECT_EQ(rewriteVideoLine("#VIDEO:old.avi\r\nE", "new.avi"),
              "#VIDEO:old.avi\r\nE\r\n#VIDEO:new.avi\r\n");
}

TEST(SongTextWriterTest, TheVideoRewriteKeepsTheByteOrderMarkAndRefusesNonSongs) {
    EXPECT_EQ(rewriteVideoLine("\xEF\xBB\xBF#TITLE:t\n#GAP:0\nE", "v.avi"),
              "\xEF\xBB\xBF#TITLE:t\r\n#GAP:0\r\n#VIDEO:v.avi\r\nE\r\n");
    EXPECT_THROW(rewriteVideoLine("#TITLE:t\r\n", "v.avi"), ESongFileError);
    EXPECT_THROW(rewriteVideoLine("", "v.avi"), ESongFileError);
}

} // namespace
