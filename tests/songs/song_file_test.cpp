#include "songs/song_errors.h"
#include "songs/song_file.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace cantorix::songs {
void PrintTo(const SongRecord& r, std::ostream* os) {
    *os << "{" << (r.isBreak ? "break" : "note") << " " << r.startBeat << " " << int{r.length}
        << " " << int{r.pitch} << " \"" << r.syllable << "\"}";
}
} // namespace cantorix::songs

using namespace cantorix::songs;

namespace {

constexpr std::string_view kHeader =
    "#TITLE:Title\n#ARTIST:Artist\n#MP3:song.mp3\n#GAP:250\n#BPM:120\n";

SongRecord note(std::int32_t start, std::uint8_t length, std::uint8_t pitch, std::string text) {
    return {false, start, length, pitch, std::move(text)};
}
SongRecord lineBreak(std::int32_t start, std::uint8_t pitch) {
    return {true, start, 0, pitch, ""};
}
const SongRecord kEmpty{};

// A song whose header is "#GAP" and "#BPM" and whose body is seven notes and "E": ten lines,
// so the octave measure m is the pitch sum / 10 - 3.
std::string songWithPitchSum(int sum) {
    std::string text = "#GAP:0\n#BPM:120\n";
    for (int i = 0; i < 7; ++i)
        text += ": " + std::to_string(i) + " 1 " + std::to_string(sum / 7 + (i ? 0 : sum % 7)) +
                " la\n";
    return text + "E\n";
}

class SongFileTest : public ::testing::Test {
protected:
    void load(std::string_view text) { m_song.load(text, "songs/Folder", "song.txt"); }
    std::string loadError(std::string_view text) {
        try {
            load(text);
        } catch (const EConvertError& e) {
            return e.what();
        } catch (const ESongFileError& e) {
            return e.what();
        }
        return "loaded";
    }
    const SongRecord& record(std::size_t i) const { return m_song.songRecords()[i]; }

    SongFile m_song;
};

TEST_F(SongFileTest, TagsIgnoreLetterCaseAndTheFirstMatchWins) {
    load("#title:First\n#TITLE:Second\n#Artist:Someone\n#mp3:a.mp3\n#Gap:250\n#bPm:120,5\n"
         ": 0 1 2 la\nE\n#TITLE:Third\n");
    EXPECT_EQ(m_song.songTitle(), "First");
    EXPECT_EQ(m_song.songArtist(), "Someone");
    EXPECT_EQ(m_song.gapValue(), 250);
    EXPECT_DOUBLE_EQ(m_song.bpm(), 120.5);
    EXPECT_EQ(m_song.audioPath(), "songs/Folder/a.mp3");
    EXPECT_EQ(m_song.songFilePath(), "songs/Folder/song.txt");
}

TEST_F(SongFileTest, TagValuesAreKeptAsWritten) {
    load("#TITLE: Spaced \n#MP3: a.mp3\n#VIDEO:/clip.avi\n#GAP: 250\n#BPM:120\n: 0 1 2 la\nE");
    EXPECT_EQ(m_song.songTitle(), " Spaced ");
    EXPECT_EQ(m_song.audioPath(), "songs/Folder/ a.mp3");
    EXPECT_EQ(m_song.videoPath(), "songs/Folder//clip.avi"); // never escapes the folder
    EXPECT_EQ(m_song.gapValue(), 250);

    load("#TITLE:x\n#VIDEO:\n#GAP:1\n#BPM:1\n: 0 1 2 la\nE");
    EXPECT_EQ(m_song.songArtist(), "");
    EXPECT_EQ(m_song.audioPath(), "songs/Folder/");
    EXPECT_TRUE(m_song.videoPath().empty());
}

TEST_F(SongFileTest, GapUpToAThousandCountsTenthsAboveItMilliseconds) {
    load("#GAP:250\n#BPM:120\n: 7 1 2 la\nE");
    EXPECT_EQ(m_song.gapDivisor(), 1);
    EXPECT_DOUBLE_EQ(m_song.leadInTime(), 257.0);
    load("#GAP:2500\n#BPM:120\n: 7 1 2 la\nE");
    EXPECT_EQ(m_song.gapDivisor(), 100);
    EXPECT_DOUBLE_EQ(m_song.leadInTime(), 32.0);
    load("#GAP:1000\n#BPM:120\n: 0 1 2 la\nE");
    EXPECT_DOUBLE_EQ(m_song.leadInTime(), 1000.0);
    load("#GAP:1001\n#BPM:120\n: 0 1 2 la\nE");
    EXPECT_DOUBLE_EQ(m_song.leadInTime(), 10.01);
}

TEST_F(SongFileTest, GapAndBpmFailuresUseTheConversionMessages) {
    EXPECT_EQ(loadError("#TITLE:x\n#BPM:120\n: 0 1 2 la\nE"), "'' is not a valid integer value");
    EXPECT_EQ(loadError("#GAP 250\n#BPM:120\n: 0 1 2 la\nE"), "'' is not a valid integer value");
    EXPECT_EQ(loadError("#GAP:25 0\n#BPM:120\n: 0 1 2 la\nE"),
              "'25 0' is not a valid integer value");
    EXPECT_EQ(loadError("#GAP:0\n#BPM:120.5\n: 0 1 2 la\nE"),
              "'120.5' is not a valid floating point value");
    EXPECT_EQ(loadError("#GAP:0\n: 0 1 2 la\nE"), "'' is not a valid floating point value");
}

TEST_F(SongFileTest, TheFirstLineIsHeaderWhateverItHolds) {
    load(": 0 1 2 first\n: 5 1 2 second\n#GAP:1\n#BPM:1\nE");
    EXPECT_EQ(m_song.headerLineCount(), 1);
    EXPECT_EQ(record(0), note(5, 1, 2, "second"));
    EXPECT_EQ(record(1), kEmpty); // a "#" line in the body is an ignored line
    EXPECT_EQ(m_song.recordCount(), 4u);

    load("#TITLE:x\n: 3 1 2 la\n#GAP:1\n#BPM:120\nE");
    EXPECT_EQ(m_song.headerLineCount(), 1);
    EXPECT_EQ(record(0), note(3, 1, 2, "la"));
}

TEST_F(SongFileTest, AFileOfHeaderLinesOnlyIsAllBody) {
    load("#GAP:1\n#BPM:120\n#TITLE:x");
    EXPECT_EQ(m_song.headerLineCount(), 0);
    EXPECT_EQ(m_song.recordCount(), 3u);
    EXPECT_EQ(record(0), kEmpty);
}

TEST_F(SongFileTest, EmptyLinesNeitherEndTheHeaderNorTakeARecord) {
    load("#TITLE:x\n\n#GAP:1\n#BPM:120\n\n: 0 1 2 a\n\n: 4 1 2 b\nE\n");
    EXPECT_EQ(m_song.headerLineCount(), 5);
    EXPECT_EQ(m_song.recordCount(), 3u);
    EXPECT_EQ(record(0), note(0, 1, 2, "a"));
    EXPECT_EQ(record(1), note(4, 1, 2, "b"));
}

TEST_F(SongFileTest, NoteFieldsAreCutAtSingleSpaces) {
    load(std::string(kHeader) + ": 10 4 20 la la\n: 14 2 20  lead\n* 16 300 -1 star\nE\n");
    EXPECT_EQ(record(0), note(10, 4, 20, "la la"));
    EXPECT_EQ(record(1), note(14, 2, 20, " lead"));
    EXPECT_EQ(record(2), note(16, 44, 255, "star")); // "*" reads like ":"; bytes wrap
    EXPECT_EQ(record(3), kEmpty);
    EXPECT_EQ(m_song.recordCount(), 4u);
}

TEST_F(SongFileTest, OnlyTheLastBreakCarriesTheEndOfLyricsMark) {
    load(std::string(kHeader) + ": 0 1 2 a\n- 4\n: 5 1 2 b\n-  9\n: 10 1 2 c\n-12\nE");
    EXPECT_EQ(record(1), lineBreak(4, 0));
    EXPECT_EQ(record(3), lineBreak(9, 0));
    EXPECT_EQ(record(5), lineBreak(12, kLastBreakPitch));
}

TEST_F(SongFileTest, IgnoredLinesKeepTheirSlotWhileMalformedNotesAreSkipped) {
    load(std::string(kHeader) + ": 0 1 2 a\nF 4 1 2 free\n: 1 2\n: 3 4 5\n: 6 7 8 \n:\n" +
         ": 8 1 2 b\nP1\nE");
    EXPECT_EQ(record(0), note(0, 1, 2, "a"));
    EXPECT_EQ(record(1), kEmpty);
    EXPECT_EQ(record(2), note(8, 1, 2, "b"));
    EXPECT_EQ(record(3), kEmpty);
    EXPECT_EQ(m_song.recordCount(), 5u);
}

TEST_F(SongFileTest, BadBodyNumbersNameTheOffendingField) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        // A field after the first starts at the space that ends the one before it.
        {": 10  4 20 la", "' ' is not a valid integer value"},
        {": 10 4  20 la", "' ' is not a valid integer value"},
        {":  10 4 20 la", "'' is not a valid integer value"},
        {": 10 4x 20 la", "' 4x' is not a valid integer value"},
        {": 1 2 3000000000 la", "' 3000000000' is not a valid integer value"},
        {"- 20 24", "'20 24' is not a valid integer value"},
        {"- x", "'x' is not a valid integer value"},
        {"-", "'' is not a valid integer value"},
    };
    for (const auto& [line, message] : cases)
        EXPECT_EQ(loadError(std::string(kHeader) + ": 0 1 2 a\n" + std::string(line) + "\nE"),
                  message)
            << line;
}

TEST_F(SongFileTest, AFailedLoadKeepsWhatTheStepsBeforeItSet) {
    load("#TITLE:A\n#GAP:20\n#BPM:120\n: 3 1 40 a0\n: 4 1 40 a1\n: 5 1 40 a2\nE");
    const SongRecord firstRecord = record(0);
    const int band = m_song.octaveBand();
    ASSERT_NE(band, 0);

    EXPECT_EQ(loadError("#TITLE:B\n#MP3:b.mp3\n#GAP:2500\n#BPM:1.5\n: 0 1 2 x\nE"),
              "'1.5' is not a valid floating point value");
    EXPECT_EQ(m_song.songTitle(), "B");
    EXPECT_EQ(m_song.audioPath(), "songs/Folder/b.mp3");
    EXPECT_EQ(m_song.gapValue(), 2500);
    EXPECT_EQ(m_song.gapDivisor(), 100);
    EXPECT_DOUBLE_EQ(m_song.bpm(), 120.0);
    EXPECT_EQ(m_song.headerLineCount(), 3);
    EXPECT_EQ(record(0), firstRecord);
    EXPECT_EQ(m_song.recordCount(), 4u);
    EXPECT_DOUBLE_EQ(m_song.leadInTime(), 23.0);

    EXPECT_EQ(loadError("#TITLE:C\n#GAP:5\n#BPM:90\n: 0 1 2 c0\n- 3\n: 4 1 2 c2\n- 6\n"
                        ": 7 x 2 bad\n: 9 1 2 never\nE"),
              "' x' is not a valid integer value");
    EXPECT_DOUBLE_EQ(m_song.bpm(), 90.0);
    EXPECT_EQ(record(0), note(0, 1, 2, "c0"));
    EXPECT_EQ(record(1), lineBreak(3, 0));
    EXPECT_EQ(record(3), lineBreak(6, kLastBreakPitch));
    EXPECT_EQ(record(4), note(7, 0, 0, "")); // its start was stored before the bad length
    EXPECT_EQ(record(5), kEmpty);
    EXPECT_EQ(m_song.recordCount(), 4u);
    EXPECT_EQ(m_song.octaveBand(), band);
    EXPECT_DOUBLE_EQ(m_song.leadInTime(), 23.0);
}

TEST_F(SongFileTest, OctaveBandThresholdsApplyToTheRealMean) {
    const std::pair<int, int> sumAndBand[] = {{149, 1}, {150, 2}, {269, 2}, {270, 3},
                                              {389, 3}, {390, 4}, {509, 4}};
    for (const auto& [sum, band] : sumAndBand) {
        SongFile song;
        song.load(songWithPitchSum(sum), "f", "s.txt");
        EXPECT_EQ(song.octaveBand(), band) << "pitch sum " << sum;
    }
}

TEST_F(SongFileTest, ASongPitchedAboveEveryBandKeepsTheBandBefore) {
    load(songWithPitchSum(510));
    EXPECT_EQ(m_song.octaveBand(), 0);
    load(songWithPitchSum(150));
    EXPECT_EQ(m_song.octaveBand(), 2);
    load(songWithPitchSum(510));
    EXPECT_EQ(m_song.octaveBand(), 2);
}

TEST_F(SongFileTest, TextsOfFewerThanTwoLinesAreRefusedUntouched) {
    load("#TITLE:Kept\n#GAP:1\n#BPM:1\n: 0 1 2 a\nE");
    using namespace std::string_view_literals;
    for (const std::string_view text : {""sv, "#GAP:1"sv, "#GAP:1\r\n"sv, "\xEF\xBB\xBFx\n\0\ny"sv})
        EXPECT_EQ(loadError(text), "The song file has fewer than two lines");
    EXPECT_EQ(m_song.songTitle(), "Kept");
    EXPECT_EQ(record(0), note(0, 1, 2, "a"));
}

TEST_F(SongFileTest, TheRecordTableBoundsTheBody) {
    std::string text(kHeader);
    for (int i = 0; i < 5000; ++i)
        text += ": " + std::to_string(i) + " 1 2 la\n";
    load(text + "E\n");
    EXPECT_EQ(m_song.recordCount(), kSongRecordCount);
    EXPECT_EQ(record(4999), note(4999, 1, 2, "la"));

    load(text + "\n: 9 1 2 \n\nE\n"); // skipped lines do not count
    EXPECT_EQ(m_song.recordCount(), kSongRecordCount);

    EXPECT_EQ(loadError(text + "- 5000\nE\n"),
              "The song file has more than 5001 lines after its header");
    EXPECT_EQ(m_song.recordCount(), kSongRecordCount);
}

TEST_F(SongFileTest, LinesEndAtCrLfOrCrLfAndTheTextAtAZeroByte) {
    using namespace std::string_view_literals;
    load("#GAP:1\r#BPM:1\r\n: 0 1 2 a\n: 1 1 2 b\r\rE\0\n: 5 1 2 hidden\n"sv);
    EXPECT_EQ(m_song.headerLineCount(), 2);
    EXPECT_EQ(record(1), note(1, 1, 2, "b"));
    EXPECT_EQ(record(2), kEmpty);
    EXPECT_EQ(m_song.recordCount(), 3u); // the empty line is skipped, nothing after the zero
}

TEST_F(SongFileTest, DisplayTextFollowsTheEncodingOfTheWholeFile) {
    load("#TITLE:Tr\xE4ume\n#ARTIST:\x80uro\n#GAP:0\n#BPM:1\n: 0 1 2 S\xFC\xDF"
         "e\nE");
    EXPECT_EQ(m_song.encoding(), TextEncoding::Windows1252);
    EXPECT_EQ(m_song.songTitle(), "Tr\xE4ume");
    EXPECT_EQ(m_song.displayText(m_song.songTitle()), "Tr\xC3\xA4ume");
    EXPECT_EQ(m_song.displayText(m_song.songArtist()), "\xE2\x82\xACuro");
    EXPECT_EQ(m_song.displayText(record(0).syllable), "S\xC3\xBC\xC3\x9F"
                                                      "e");

    load("\xEF\xBB\xBF#TITLE:Tr\xC3\xA4ume\n#GAP:0\n#BPM:1\n: 0 1 2 S\xC3\xBC\xC3\x9F"
         "e\nE");
    EXPECT_EQ(m_song.encoding(), TextEncoding::Utf8);
    EXPECT_EQ(m_song.displayText(m_song.songTitle()), "Tr\xC3\xA4ume");
    EXPECT_EQ(m_song.headerLineCount(), 3);
}

} // namespace
