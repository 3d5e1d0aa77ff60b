// Real MIDI files written by other programs, read from the shared corpus beside the checkout.
// Each file is known by a distinctive fragment of its name; files the tests do not know are
// left alone. Without the corpus folder every test here is skipped.

#include "midi/midi_data.h"
#include "midi/midi_errors.h"
#include "midi/midi_position.h"

#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace cantorix::midi {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = CANTORIX_MIDI_CORPUS_DIR;

// The corpus file whose name contains `fragment`; empty when there is none.
fs::path corpusFile(std::string_view fragment) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(kCorpus, error))
        if (entry.path().filename().string().find(fragment) != std::string::npos)
            return entry.path();
    return {};
}

template <class Base> class WithCorpus : public Base {
protected:
    void SetUp() override {
        if (!fs::is_directory(kCorpus))
            GTEST_SKIP() << "no MIDI corpus at " << kCorpus.string();
    }
};

struct CorpusFile {
    std::string_view fragment;
    int tracks;             // expected track count; 0 when the file is refused
    std::string_view error; // the refusal message; empty when the file loads

    friend void PrintTo(const CorpusFile& file, std::ostream* os) { *os << file.fragment; }
};

// The fragment with every character that cannot stand in a test name made an underscore.
std::string testName(const ::testing::TestParamInfo<CorpusFile>& info) {
    std::string name(info.param.fragment);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class MidiCorpusTest : public WithCorpus<::testing::TestWithParam<CorpusFile>> {};

TEST_P(MidiCorpusTest, LoadsOrFailsWithItsMessage) {
    const CorpusFile& file = GetParam();
    const fs::path path = corpusFile(file.fragment);
    ASSERT_FALSE(path.empty()) << "no file named like " << file.fragment << " in " << kCorpus;
    TMidiData data;
    data.setFileName(path.string());
    if (!file.error.empty()) {
        try {
            data.setActive(true);
            FAIL() << "loaded";
        } catch (const EMidiLoadError& e) {
            EXPECT_EQ(e.what(), file.error);
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
    ::testing::Values(CorpusFile{"MIDIOkFormat0", 1, ""}, CorpusFile{"MIDIOkFormat1", 4, ""},
                      CorpusFile{"MIDIOkFormat2", 9, ""},
                      CorpusFile{"MIDIBadHeaderChunk", 0, "Invalid MIDI file ID"},
                      CorpusFile{"SysExTest", 3, ""}, CorpusFile{"Beethoven.rmi", 15, ""},
                      CorpusFile{"test-karaoke-kar", 3, ""},
                      CorpusFile{"debussy_childrens_corner_1", 17, ""}),
    testName);

class MidiCorpusFacts : public WithCorpus<::testing::Test> {
protected:
    // The loaded file named like `fragment`; null, with a failure, when there is none.
    static std::unique_ptr<TMidiData> load(std::string_view fragment) {
        const fs::path path = corpusFile(fragment);
        if (path.empty()) {
            ADD_FAILURE() << "no file named like " << fragment << " in " << kCorpus;
            return nullptr;
        }
        auto data = std::make_unique<TMidiData>();
        data->setFileName(path.string());
        data->setActive(true);
        return data;
    }
};

TEST_F(MidiCorpusFacts, VelocityZeroNoteOffsPairUnderRunningStatus) {
    const auto data = load("debussy_childrens_corner_1");
    ASSERT_TRUE(data);
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

TEST_F(MidiCorpusFacts, ManyTempoChangesGiveStrictlyIncreasingTimes) {
    const auto data = load("debussy_childrens_corner_1");
    ASSERT_TRUE(data);
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

TEST_F(MidiCorpusFacts, NamesComeFromTrackNameAndTextEvents) {
    const auto karaoke = load("test-karaoke-kar");
    const auto scale = load("MIDIOkFormat2");
    const auto beethoven = load("Beethoven.rmi");
    ASSERT_TRUE(karaoke && scale && beethoven);
    EXPECT_EQ(karaoke->Tracks(0)->TrackName(), "Karaoke .KAR Test");
    EXPECT_EQ(karaoke->Tracks(1)->TrackName(), "Lyrics");
    EXPECT_EQ(scale->Tracks(0)->TrackName(), "A complete scale");
    EXPECT_EQ(beethoven->PPQN(), 240);
    EXPECT_EQ(beethoven->Tracks(1)->TrackName(), "Flute");
    EXPECT_EQ(beethoven->Tracks(1)->firstProgram(), 73);
    EXPECT_EQ(beethoven->Tracks(1)->firstChannel(), 1);
}

TEST_F(MidiCorpusFacts, AnEmptyTrackChunkGetsAnEndOfTrack) {
    const auto data = load("SysExTest");
    ASSERT_TRUE(data);
    ASSERT_EQ(data->Tracks(1)->EventCount(), 1);
    EXPECT_EQ(data->Tracks(1)->events()[0].position, 0);
}

} // namespace
} // namespace cantorix::midi
