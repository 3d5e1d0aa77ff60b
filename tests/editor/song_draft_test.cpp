// The song text the editor composes: the mended header, the note lines in sung values, and a
// song made from a real MIDI file read back by the game's song reader.

#include "editor/editor_tables.h"
#include "editor/song_draft.h"
#include "editor/sung_pitch.h"
#include "midi/midi_bytes.h"
#include "pitch/sound.h"
#include "pitch/tone.h"
#include "songs/song_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace cantorix;
using namespace cantorix::editor;
using midi::test::Header;
using midi::test::midiFile;
using midi::test::TrackBody;

namespace {

std::string sungText(double hz) {
    return std::to_string(pitch::sungValueOfTone(hz));
}

TrackTables workedExampleTables() {
    midi::TMidiData data;
    data.load(midiFile({TrackBody().tempo(0, 120000).end(), TrackBody()
                                                                .event(6000, {0x90, 60, 100})
                                                                .event(480, {0x80, 60, 0})
                                                                .event(120, {0x90, 64, 100})
                                                                .event(240, {0x80, 64, 0})
                                                                .end(120)},
                       Header().withDivision(120)),
              "example.mid");
    return tabulateTrack(data, 1, 0);
}

} // namespace

TEST(SongDraftTest, WorkedExampleWithTheMendedHeaderAndSungPitches) {
    const std::string c4 = sungText(261.6256), e4 = sungText(329.6276);
    const std::string text =
        composeSongDraft({"My Title", "Me", "song.mp3", std::nullopt}, workedExampleTables());
    EXPECT_EQ(text, "#TITLE:My Title\r\n#ARTIST:Me\r\n#MP3:song.mp3\r\n#BPM:125\r\n#GAP:60\r\n"
                    ": 0 4 " +
                        c4 + " -\r\n: 5 2 " + e4 + " -\r\n: 7 24 " + e4 + " -\r\nE\r\n");
    EXPECT_NE(c4, e4);
}

TEST(SongDraftTest, VideoLineOnlyWhenPickedAndMp3LineAlways) {
    const TrackTables t = workedExampleTables();
    const std::string without = composeSongDraft({"None", "None", "", std::nullopt}, t);
    EXPECT_NE(without.find("#MP3:\r\n#BPM:125"), std::string::npos);
    EXPECT_EQ(without.find("#VIDEO"), std::string::npos);
    const std::string with = composeSongDraft({" T ", "A", "", std::string("clip.avi")}, t);
    EXPECT_NE(with.find("#TITLE: T \r\n"), std::string::npos);
    EXPECT_NE(with.find("#MP3:\r\n#VIDEO:clip.avi\r\n#BPM:125"), std::string::npos);
}

TEST(SongDraftTest, GapIsTheLeadInInTenthsOrMillisecondsAboveOneThousand) {
    EXPECT_EQ(draftGapValue(0), 0);
    EXPECT_EQ(draftGapValue(1), 1);      // 120 ms
    EXPECT_EQ(draftGapValue(3), 4);      // 360 ms
    EXPECT_EQ(draftGapValue(833), 1000); // 99 960 ms, still tenths
    EXPECT_EQ(draftGapValue(834), 100080);
}

TEST(SongDraftTest, TableWithoutNotesIsRefused) {
    TrackTables t;
    t.notes.push_back({0, "0", 24});
    EXPECT_THROW(composeSongDraft({}, t), std::invalid_argument);
}

TEST(SungPitchTest, NotesFoldByOctavesIntoTheDetectableRange) {
    EXPECT_EQ(foldIntoDetectableRange(46), 46);
    EXPECT_EQ(foldIntoDetectableRange(72), 72);
    EXPECT_EQ(foldIntoDetectableRange(45), 57);
    EXPECT_EQ(foldIntoDetectableRange(73), 61);
    EXPECT_EQ(foldIntoDetectableRange(0), 48);
    EXPECT_EQ(foldIntoDetectableRange(127), 67);
    EXPECT_EQ(foldIntoDetectableRange(-5), 55); // a table pitch of -65
    EXPECT_EQ(sungValueOfNote(84), sungValueOfNote(72));
    EXPECT_EQ(sungValueOfNote(36), sungValueOfNote(48));
}

TEST(SungPitchTest, EveryDetectableNoteScoresAsTheValueWritten) {
    const std::vector<std::uint8_t> possible = pitch::possibleSungValues();
    std::uint8_t previous = 0;
    for (int note = kLowestDetectableNote; note <= kHighestDetectableNote; ++note) {
        const std::uint8_t value = sungValueOfNote(note);
        SCOPED_TRACE(note);
        EXPECT_NE(value, pitch::kSilenceSungValue);
        EXPECT_TRUE(std::find(possible.begin(), possible.end(), value) != possible.end());
        EXPECT_GE(value, previous);
        previous = value;
        // A singer hitting the note's frequency is reported as this very value.
        EXPECT_EQ(pitch::sungValueOfTone(noteFrequency(note)), value);
    }
    EXPECT_NEAR(noteFrequency(69), 440.0, 1e-9);
    EXPECT_NEAR(noteFrequency(kLowestDetectableNote), 116.54, 0.01);
    EXPECT_NEAR(noteFrequency(kHighestDetectableNote), 523.25, 0.01);
}

TEST(SongDraftTest, SongFromACorpusMidiFileLoadsWithTheSongReader) {
    const std::filesystem::path corpus = CANTORIX_MIDI_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "no MIDI corpus at " << corpus.string();
    std::filesystem::path file;
    for (const auto& entry : std::filesystem::directory_iterator(corpus))
        if (entry.path().filename().string().find("test-karaoke-kar") != std::string::npos)
            file = entry.path();
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << "no karaoke test file in " << corpus;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    midi::TMidiData data;
    data.load(bytes, file.string());
    int composed = 0;
    for (int track = 0; track < data.TrackCount(); ++track) {
        const TrackTables tables = tabulateTrack(data, track, 0);
        if (tables.noteCount == 0)
            continue;
        const std::string text =
            composeSongDraft({"Test", "Corpus", "song.mp3", std::nullopt}, tables);
        songs::SongFile song;
        ASSERT_NO_THROW(song.load(text, "/tmp", "/tmp/song.txt")) << "track " << track;
        EXPECT_EQ(song.bpm(), 125.0);
        EXPECT_EQ(song.gapValue(), draftGapValue(tables.firstNoteUnit));
        // The notes, the closing row and the end line.
        ASSERT_EQ(song.recordCount(), tables.notes.size() + 1);
        for (std::size_t i = 0; i < tables.notes.size(); ++i)
            EXPECT_EQ(song.songRecords()[i].startBeat, tables.notes[i].start);
        ++composed;
    }
    EXPECT_GT(composed, 0);
}
