// Real MIDI files written by other programs, read from the shared corpus beside the checkout.

#include "midi/midi_data.h"
#include "midi/midi_errors.h"
#include "midi/midi_position.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace cantorix::midi {
namespace {

const std::string kCorpus = std::string(CANTORIX_MIDI_CORPUS_DIR) + "/";

struct CorpusFile {
    const char* name;
    int tracks;        // expected track count; 0 when the file is refused
    const char* error; // the refusal message
};

class MidiCorpusTest : public ::testing::TestWithParam<CorpusFile> {};

TEST_P(MidiCorpusTest, LoadsOrFailsWithItsMessage) {
    const CorpusFile& file = GetParam();
    TMidiData data;
    data.setFileName(kCorpus + file.name);
    if (file.error) {
        try {
            data.setActive(true);
            FAIL() << "loaded";
        } catch (const EMidiLoadError& e) {
            EXPECT_STREQ(e.what(), file.error);
        }
        EXPECT_FALSE(data.Active());
        EXPECT_EQ(data.TrackCount(), 0);
        return;
    }
    data.setActive(true);
    EXPECT_TRUE(data.Active());
    EXPECT_EQ(data.TrackCount(), file.tracks);
    EXPECT_EQ(data.TrackCount(), data.headerTrackCount());
    for (std::int32_t t = 0; t < data.TrackCount(); ++t) {
        const TMidiTrackStream& track = *data.Tracks(t);
        // Every track ends with an end-of-track, read or added, and pairs are mutual.
        ASSERT_GT(track.EventCount(), 0);
        const TMidiEvent& last = track.events().back();
        EXPECT_EQ(track.block(last).size(), 1u);
        for (std::int32_t i = 0; i < track.EventCount(); ++i) {
            const TMidiEvent& e = track.events()[static_cast<std::size_t>(i)];
            if (e.partner != kNoPartner) {
                EXPECT_EQ(track.Events(e.partner)->partner, i);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, MidiCorpusTest,
    ::testing::Values(CorpusFile{"nfroidure-midifile--MIDIOkFormat0.mid", 1, nullptr},
                      CorpusFile{"nfroidure-midifile--MIDIOkFormat1.mid", 4, nullptr},
                      CorpusFile{"nfroidure-midifile--MIDIOkFormat2.mid", 9, nullptr},
                      CorpusFile{"nfroidure-midifile--MIDIBadHeaderChunk.mid", 0,
                                 "Invalid MIDI file ID"},
                      CorpusFile{"midly--SysExTest.mid", 3, nullptr},
                      CorpusFile{"midly--Beethoven.rmi", 15, nullptr},
                      CorpusFile{"jazz-soft--test-karaoke-kar.mid", 3, nullptr},
                      CorpusFile{"tonejs-midi--debussy_childrens_corner_1.mid", 17, nullptr}));

std::unique_ptr<TMidiData> load(const char* name) {
    auto data = std::make_unique<TMidiData>();
    data->setFileName(kCorpus + name);
    data->setActive(true);
    return data;
}

TEST(MidiCorpusFacts, VelocityZeroNoteOffsPairUnderRunningStatus) {
    const auto data = load("tonejs-midi--debussy_childrens_corner_1.mid");
    int zeroVelocityOffs = 0;
    int pairedZeroVelocityOffs = 0;
    for (std::int32_t t = 0; t < data->TrackCount(); ++t) {
        for (const TMidiEvent& e : data->Tracks(t)->events()) {
            if ((e.event.status & 0xF0) == 0x90 && e.event.data2 == 0) {
                ++zeroVelocityOffs;
                pairedZeroVelocityOffs += e.partner != kNoPartner;
            }
        }
    }
    EXPECT_EQ(zeroVelocityOffs, 1110);
    EXPECT_EQ(pairedZeroVelocityOffs, 1110);
}

TEST(MidiCorpusFacts, ManyTempoChangesGiveStrictlyIncreasingTimes) {
    const auto data = load("tonejs-midi--debussy_childrens_corner_1.mid");
    const TMidiTrackStream& map = *data->Tracks(0);
    TMidiPosition position(data.get());
    int tempoChanges = 0;
    std::int32_t previousTick = -1;
    std::int32_t previousTime = -1;
    for (const TMidiEvent& e : map.events()) {
        const auto block = map.block(e);
        if (!e.event.isMeta() || block.empty() || block[0] != kMetaTempo ||
            e.position == previousTick)
            continue;
        ++tempoChanges;
        position.SetTicks(e.position);
        EXPECT_GT(position.Time(), previousTime) << "tick " << e.position;
        previousTick = e.position;
        previousTime = position.Time();
    }
    EXPECT_GE(tempoChanges, 690);
    // Whole-file time agrees whether reached step by step or in one move.
    position.GoToEnd();
    TMidiPosition direct(data.get());
    direct.SetTicks(position.SongLength());
    EXPECT_EQ(direct.Time(), position.Time());
    TMidiPosition byTime(data.get());
    byTime.SetTime(position.Time());
    EXPECT_LE(byTime.Ticks(), position.Ticks());
}

TEST(MidiCorpusFacts, NamesComeFromTrackNameAndTextEvents) {
    const auto karaoke = load("jazz-soft--test-karaoke-kar.mid");
    EXPECT_EQ(karaoke->Tracks(0)->TrackName(), "Karaoke .KAR Test");
    EXPECT_EQ(karaoke->Tracks(1)->TrackName(), "Lyrics");
    const auto scale = load("nfroidure-midifile--MIDIOkFormat2.mid");
    EXPECT_EQ(scale->Tracks(0)->TrackName(), "A complete scale");
    const auto beethoven = load("midly--Beethoven.rmi");
    EXPECT_EQ(beethoven->PPQN(), 240);
    EXPECT_EQ(beethoven->Tracks(1)->TrackName(), "Flute");
    EXPECT_EQ(beethoven->Tracks(1)->firstProgram(), 73);
    EXPECT_EQ(beethoven->Tracks(1)->firstChannel(), 1);
}

TEST(MidiCorpusFacts, AnEmptyTrackChunkGetsAnEndOfTrack) {
    const auto data = load("midly--SysExTest.mid");
    ASSERT_EQ(data->Tracks(1)->EventCount(), 1);
    EXPECT_EQ(data->Tracks(1)->events()[0].position, 0);
}

} // namespace
} // namespace cantorix::midi
