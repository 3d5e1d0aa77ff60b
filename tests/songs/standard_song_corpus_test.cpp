// Real song files from people's collections, read by the standard reader: each known file is
// judged standard and loads with the voices, note counts and note times its text shows; no file
// of the corpus, known or not, crashes either reader.

#include "songs/song_corpus.h"
#include "songs/song_errors.h"
#include "songs/song_file.h"
#include "songs/song_format.h"
#include "songs/standard_song.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

using namespace cantorix::songs;
using namespace cantorix::songs::test;

namespace {

struct ExpectedVoice {
    std::string_view name;
    std::size_t notes;
    std::size_t breaks;
    double firstNoteMs;
    double lastNoteMs;
};

struct Expected {
    // Shown by ctest beside the test's name instead of the row's bytes.
    friend void PrintTo(const Expected& x, std::ostream* os) { *os << x.nameFragment; }

    std::string_view nameFragment;
    std::string_view encoding;
    std::string_view title;
    std::string_view audio;
    double beatMs;
    bool relative;
    std::vector<ExpectedVoice> voices;
};

// Counted and timed from the files' texts: GAP + start beat × 15000 / BPM (none carries a
// version of 2 or later).
// clang-format off
const Expected kExpected[] = {
    {"Perfekte Welle", "cp1252", "Perfekte Welle", "Juli - Perfekte Welle.mp3", 37.50844, false,
     {{"", 466, 63, 7350.0, 186565.32}}},
    {"All Star", "utf-8", "All Star", "Smash Mouth - All Star.mp3", 48.07692, false,
     {{"", 521, 100, 37480.0, 227768.46}}},
    {"OChristmasTree", "utf-8", "O Christmas Tree", "4s.ogg", 50, false,
     {{"", 153, 20, 4007.0, 82657.0}}},
    {"Windows1252", "cp1252", "Tr\xC3\xA4nen\xC3\xBC" "berstr\xC3\xB6mt nach Fu\xC3\x9Fmassage",
     "TestSong.ogg", 75, false, {{"", 3, 1, 300.0, 900.0}}},
    {"Space Invaders", "utf-8", "Space Invaders", "Pornophonique - Space Invaders.mp3", 47.60696,
     false, {{"", 394, 62, 2767.61, 204240.25}}},
    // The second note starts at beat 0 of a line whose offset the break moved to 24.
    {"relative_line_breaks", "utf-8", "Testsong", "Testfile.mp3", 121.95122, true,
     {{"", 2, 1, 666.0, 3592.83}}},
    {"survive_duett_tags", "utf-8", "Testsong", "Testfile.mp3", 121.95122, false,
     {{"P1", 5, 1, 666.0, 2617.22}, {"P2", 5, 0, 3592.83, 5544.05}}},
    {"la_despedida", "cp1252", "La despedida", "Daddy Yankee - La despedida.mp3", 26.78571, false,
     {{"", 456, 57, 46160.0, 213115.36}}},
};
// clang-format on

class StandardSongCorpusTest : public ::testing::TestWithParam<Expected> {};

TEST_P(StandardSongCorpusTest, LoadsWithTheVoicesAndTimesItsTextShows) {
    const Expected& x = GetParam();
    std::filesystem::path file;
    if (const std::string reason = findCorpusFile(x.nameFragment, file); !reason.empty())
        GTEST_SKIP() << reason;
    const std::string bytes = readCorpusBytes(file);
    EXPECT_EQ(detectSongFormat(bytes), SongFormat::Standard);

    const StandardSong song = readStandardSong(bytes);
    EXPECT_EQ(song.encoding, x.encoding);
    EXPECT_EQ(song.title, x.title);
    EXPECT_EQ(song.audio, x.audio);
    EXPECT_NEAR(song.beatMs, x.beatMs, 1e-5);
    EXPECT_EQ(song.relative, x.relative);
    EXPECT_EQ(song.skipped, 0);
    ASSERT_EQ(song.voices.size(), x.voices.size());
    for (std::size_t v = 0; v < x.voices.size(); ++v) {
        const StandardVoice& voice = song.voices[v];
        const ExpectedVoice& want = x.voices[v];
        EXPECT_EQ(voice.name, want.name);
        ASSERT_EQ(voice.notes.size(), want.notes) << want.name;
        EXPECT_EQ(voice.breaks.size(), want.breaks) << want.name;
        EXPECT_NEAR(song.beatToMs(voice.notes.front().startBeat), want.firstNoteMs, 0.01);
        EXPECT_NEAR(song.beatToMs(voice.notes.back().startBeat), want.lastNoteMs, 0.01);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, StandardSongCorpusTest, ::testing::ValuesIn(kExpected),
                         [](const auto& info) { return testNameOf(info.param.nameFragment); });

// Whatever the corpus holds, the format decision and the reader it picks either load the file or
// refuse it with their own errors.
TEST(StandardSongCorpusSweep, NoFileCrashesTheReaderItsFormatPicks) {
    if (!songCorpusPresent())
        GTEST_SKIP() << "no song corpus at " << kSongCorpus;
    for (const auto& entry : std::filesystem::directory_iterator(kSongCorpus)) {
        const std::string bytes = readCorpusBytes(entry.path());
        SCOPED_TRACE(entry.path().filename().string());
        if (detectSongFormat(bytes) == SongFormat::Standard) {
            try {
                readStandardSong(bytes);
            } catch (const EStandardSongError&) {
            }
        } else {
            SongFile song;
            try {
                song.load(bytes, entry.path().parent_path(), entry.path().filename());
            } catch (const EConvertError&) {
            } catch (const ESongFileError&) {
            }
        }
    }
}

} // namespace
