#include "songs/medley_song.h"

#include <gtest/gtest.h>

namespace cantorix::songs {
namespace {

// Notes of 1 s every 2 s after a 1 s gap (BPM 150: 100 ms a beat), a line break between pairs.
StandardSong song(const std::string& title, int voices) {
    std::string text = "#TITLE:" + title + "\n#ARTIST:A\n#BPM:150\n#GAP:1000\n";
    for (int v = 1; v <= voices; ++v) {
        if (voices > 1)
            text += "P" + std::to_string(v) + "\n";
        for (int n = 0; n < 8; ++n) {
            if (n && n % 2 == 0)
                text += "- " + std::to_string(20 * n - 5) + "\n";
            text += ": " + std::to_string(20 * n) + " 10 " + std::to_string(v) + " " + title +
                    std::to_string(v) + "n" + std::to_string(n) + "\n";
        }
    }
    return readStandardSong(text + "E\n");
}

TEST(MedleySong, PartsMoveOntoTheMedleysClockVoiceByVoice) {
    // A solo's second and third lines (5 s to 12 s of song time), then a duet's second line.
    std::vector<MedleyPiece> pieces(2);
    pieces[0] = {song("solo", 1), {5000, 12000, MedleySource::Tags}, "solo.mp3", 60'000};
    pieces[1] = {song("duet", 2), {5000, 8000, MedleySource::Refrain}, "duet.ogg", 60'000};
    const MedleySong medley = buildMedleySong(pieces, {4000, 2000});
    EXPECT_EQ(medley.song.title, "Medley (2)");
    ASSERT_EQ(medley.segments.size(), 2u);
    // The solo plays 1 s to 14 s of its music from 0; the duet's lead-in starts as the solo's
    // last note ends, 11 s into the medley, at 1 s of its music.
    EXPECT_EQ(medley.segments[1], (MedleySegment{1000, 10000, 11000, 2000, 2000}));
    EXPECT_EQ(medley.audioFiles, (std::vector<std::filesystem::path>{"solo.mp3", "duet.ogg"}));
    ASSERT_EQ(medley.song.voices.size(), 2u);
    EXPECT_EQ(medley.song.voices[1].name, "P2");

    const auto atMs = [&](const StandardNote& note) {
        return medley.song.beatToMs(note.startBeat);
    };
    for (std::size_t v = 0; v < 2; ++v) {
        SCOPED_TRACE(v);
        const StandardVoice& voice = medley.song.voices[v];
        // Both voices sing the solo's four notes; then each its own voice of the duet's two.
        ASSERT_EQ(voice.notes.size(), 6u);
        EXPECT_EQ(voice.notes[0].text, "solo1n2");
        EXPECT_DOUBLE_EQ(atMs(voice.notes[0]), 4000);
        EXPECT_DOUBLE_EQ(atMs(voice.notes[3]), 10000);
        EXPECT_EQ(voice.notes[4].text, "duet" + std::to_string(v + 1) + "n2");
        EXPECT_DOUBLE_EQ(atMs(voice.notes[4]), 15000);
        EXPECT_DOUBLE_EQ(voice.notes[4].length * kMedleyBeatMs, 1000);
        EXPECT_EQ(voice.notes[4].pitch, static_cast<int>(v + 1));
        // The solo's own break between its lines, then the duet's first line shown from 11 s.
        ASSERT_EQ(voice.breaks.size(), 2u);
        EXPECT_DOUBLE_EQ(medley.song.beatToMs(voice.breaks[0]), 7500);
        EXPECT_DOUBLE_EQ(medley.song.beatToMs(voice.breaks[1]), 11000);
    }
    ASSERT_EQ(medley.stretches.size(), 2u);
    EXPECT_EQ(medley.stretches[1].title, "duet");
    EXPECT_DOUBLE_EQ(medley.stretches[1].partFromMs, 15000);
    EXPECT_DOUBLE_EQ(medley.stretches[1].partToMs, 18000);
    EXPECT_EQ(medley.stretches[1].songMsAtStart, 1000);
    EXPECT_DOUBLE_EQ(*medley.song.endMs, 20000);
}

} // namespace
} // namespace cantorix::songs
