// Song files written by other people's tools, read as the game reads them: each one either
// loads with the values below or fails with the message its contents call for.

#include "songs/song_corpus.h"
#include "songs/song_errors.h"
#include "songs/song_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

using namespace cantorix::songs;
using namespace cantorix::songs::test;

namespace {

struct Expected {
    // Shown by ctest beside the test's name instead of the row's bytes.
    friend void PrintTo(const Expected& x, std::ostream* os) { *os << x.nameFragment; }

    std::string_view nameFragment;
    std::string_view error; // empty when the file loads
    std::string_view title; // display text
    std::string_view artist;
    std::int32_t gap;
    double bpm;
    std::int32_t headerLineCount;
    std::size_t recordCount;
    double leadInTime;
    std::int32_t octaveBand;
    TextEncoding encoding;
    std::size_t sampleIndex;
    SongRecord sample; // syllable as display text
};

using enum TextEncoding;

// One file per row reads better than one value per line.
// clang-format off
const Expected kExpected[] = {
    {"Perfekte Welle", "", "Perfekte Welle", "Juli", 7350, 399.91, 14, 530, 73.5, 1,
     Windows1252, 10, {false, 70, 2, 10, "Tr\xC3\xA4u"}},
    {"All Star", "", "All Star", "Smash Mouth", 37480, 312, 14, 622, 374.8, 1, Utf8, 2,
     {false, 18, 3, 10, "dy"}},
    {"OChristmasTree", "", "O Christmas Tree", "", 4007, 300, 13, 174, 40.07, 1, Utf8, 0,
     {false, 0, 9, 254, "O"}},
    {"Windows1252", "", "Tr\xC3\xA4nen\xC3\xBC" "berstr\xC3\xB6mt nach Fu\xC3\x9Fmassage",
     "K\xC3\xA4se und Gem\xC3\xBCse", 0, 200, 6, 5, 0.0, 2, Windows1252, 1,
     {false, 4, 3, 9, "S\xC3\xBC\xC3\x9F" "e "}},
    {"Space Invaders", "", "Space Invaders", "Pornophonique", 2720, 315.08, 10, 457, 28.2, 1,
     Utf8, 0, {false, 1, 4, 2, "E"}},
    // A break with a second number (a relative-mode file): the load stops at that line.
    {"relative_line_breaks", "'20 24' is not a valid integer value", "Testsong", "Testartist",
     666, 123, 6, 1, 0.0, 0, Utf8, 0, {false, 0, 4, 59, "Test "}},
    // Duet markers and freestyle lines are ignored lines that keep their record slot.
    {"survive_duett_tags", "", "Testsong", "Testartist", 666, 123, 5, 14, 666.0, 4, Utf8, 1,
     {false, 0, 4, 255, "Test "}},
    {"la_despedida", "", "La despedida", "Daddy Yankee", 46160, 560, 10, 514, 461.6, 1,
     Windows1252, 11, {false, 146, 5, 14, "S\xC3\xA9"}},
};
// clang-format on

std::string loadError(SongFile& song, const std::filesystem::path& file) {
    try {
        song.load(readCorpusBytes(file), file.parent_path(), file.filename());
    } catch (const EConvertError& e) {
        return e.what();
    } catch (const ESongFileError& e) {
        return e.what();
    }
    return "";
}

void checkSong(const Expected& x, const std::filesystem::path& file) {
    SCOPED_TRACE(file.filename().string());
    SongFile song;
    EXPECT_EQ(loadError(song, file), x.error);
    EXPECT_EQ(song.displayText(song.songTitle()), x.title);
    EXPECT_EQ(song.displayText(song.songArtist()), x.artist);
    EXPECT_EQ(song.encoding(), x.encoding);
    EXPECT_EQ(song.gapValue(), x.gap);
    EXPECT_DOUBLE_EQ(song.bpm(), x.bpm);
    EXPECT_EQ(song.headerLineCount(), x.headerLineCount);
    EXPECT_EQ(song.recordCount(), x.recordCount);
    EXPECT_DOUBLE_EQ(song.leadInTime(), x.leadInTime);
    EXPECT_EQ(song.octaveBand(), x.octaveBand);
    SongRecord sample = song.songRecords()[x.sampleIndex];
    sample.syllable = song.displayText(sample.syllable);
    EXPECT_EQ(sample, x.sample);

    if (x.error.empty()) {
        // Exactly the last break of the file carries the end-of-lyrics mark.
        std::size_t marks = 0;
        std::size_t lastBreak = 0;
        for (std::size_t i = 0; i < song.recordCount(); ++i) {
            const SongRecord& r = song.songRecords()[i];
            marks += r.pitch == kLastBreakPitch && r.isBreak;
            lastBreak = r.isBreak ? i : lastBreak;
        }
        EXPECT_EQ(marks, 1u);
        EXPECT_EQ(song.songRecords()[lastBreak].pitch, kLastBreakPitch);
        EXPECT_EQ(song.songRecords()[song.recordCount() - 1], SongRecord{}); // the "E" line
        EXPECT_EQ(song.audioPath().parent_path(), file.parent_path());
    }
}

class SongCorpusTest : public ::testing::TestWithParam<Expected> {};

TEST_P(SongCorpusTest, LoadsOrFailsAsItsContentsCallFor) {
    std::filesystem::path file;
    if (const std::string reason = findCorpusFile(GetParam().nameFragment, file); !reason.empty())
        GTEST_SKIP() << reason;
    checkSong(GetParam(), file);
}

INSTANTIATE_TEST_SUITE_P(Files, SongCorpusTest, ::testing::ValuesIn(kExpected),
                         [](const auto& info) { return testNameOf(info.param.nameFragment); });

} // namespace
