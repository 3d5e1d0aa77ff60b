// Loading MIDI files: header and track chunks, the failure messages, and that a failed load
// leaves nothing behind.

#include "midi/midi_data.h"
#include "midi/midi_errors.h"
#include "midi_bytes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace cantorix::midi {
namespace {

using test::Bytes;
using test::Header;
using test::midiFile;
using test::TrackBody;

class MidiDataTest : public ::testing::Test {
protected:
    // The message of the load failure, or "" when the bytes load.
    std::string loadError(const Bytes& bytes, const std::string& name = "song.mid") {
        try {
            data.load(bytes, name);
        } catch (const EMidiLoadError& e) {
            return e.what();
        }
        return "";
    }

    void expectEmpty() const {
        EXPECT_FALSE(data.Active());
        EXPECT_EQ(data.TrackCount(), 0);
        EXPECT_EQ(data.PPQN(), 180);
        EXPECT_EQ(data.format(), 1);
        EXPECT_TRUE(data.extraHeader().empty());
    }

    static TrackBody notes() {
        return TrackBody().event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).end();
    }

    TMidiData data;
};

TEST_F(MidiDataTest, EmptyDataHasTheDefaultHeaderAndActivatesWithoutAFile) {
    expectEmpty();
    EXPECT_EQ(data.Tracks(0), nullptr);
    data.setActive(true);
    EXPECT_TRUE(data.Active());
    EXPECT_EQ(data.TrackCount(), 0);
}

TEST_F(MidiDataTest, HeaderOfSixBytesKeepsNoExtraAndReadsEveryTrack) {
    ASSERT_EQ(loadError(midiFile({notes(), notes()}, Header().withFormat(0).withDivision(480))),
              "");
    EXPECT_TRUE(data.Active());
    EXPECT_EQ(data.format(), 0);
    EXPECT_EQ(data.PPQN(), 480);
    EXPECT_EQ(data.TrackCount(), 2);
    EXPECT_TRUE(data.extraHeader().empty());
    EXPECT_EQ(data.Tracks(1)->EventCount(), 3);
    EXPECT_EQ(data.Tracks(2), nullptr);
    EXPECT_EQ(data.Tracks(-1), nullptr);
}

TEST_F(MidiDataTest, HeaderOfEightBytesKeepsTheTwoExtraBytesBeforeTheFirstTrack) {
    ASSERT_EQ(loadError(midiFile({notes()}, Header().withExtra({0xAB, 0xCD}))), "");
    ASSERT_EQ(data.extraHeader().size(), 2u);
    EXPECT_EQ(data.extraHeader()[0], 0xAB);
    EXPECT_EQ(data.extraHeader()[1], 0xCD);
    EXPECT_EQ(data.Tracks(0)->EventCount(), 3);
}

TEST_F(MidiDataTest, DivisionWithTopBitSetIsAPlainTickCount) {
    ASSERT_EQ(loadError(midiFile({notes()}, Header().withDivision(0xE728))), "");
    EXPECT_EQ(data.PPQN(), 0xE728);
}

TEST_F(MidiDataTest, HeaderFailures) {
    Bytes badId = midiFile({notes()});
    badId[3] = '0';
    EXPECT_EQ(loadError(badId), "Invalid MIDI file ID");
    Bytes shortHeader = midiFile({notes()});
    shortHeader[7] = 5;
    EXPECT_EQ(loadError(shortHeader), "Invalid MIDI header size");
    EXPECT_EQ(loadError(Bytes{'M', 'T', 'h'}), "Stream read error");
    EXPECT_EQ(loadError(Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 1, 0, 0, 0, 96}),
              "Stream read error"); // two announced extra bytes missing
    expectEmpty();
}

TEST_F(MidiDataTest, TooFewTracksFailsAndLeavesNothingFromAnEarlierLoad) {
    ASSERT_EQ(loadError(midiFile({notes()})), "");
    EXPECT_EQ(loadError(midiFile({notes(), notes()}, Header().withTrackCount(3).withDivision(240))),
              "Stream read error");
    expectEmpty();
}

TEST_F(MidiDataTest, FewerAnnouncedTracksLeaveTheRestUnread) {
    Bytes file = midiFile({notes()}, Header().withTrackCount(1));
    const Bytes junk{'J', 'U', 'N', 'K', 0xFF, 0xFF};
    file.insert(file.end(), junk.begin(), junk.end());
    ASSERT_EQ(loadError(file), "");
    EXPECT_EQ(data.TrackCount(), 1);
}

TEST_F(MidiDataTest, TrackChunksMustFollowEachOtherDirectly) {
    Bytes other;
    test::appendTag(other, "XFIH");
    test::appendBE(other, 0, 4);
    EXPECT_EQ(loadError(midiFile(std::vector<Bytes>{other, notes().chunk()})),
              "Invalid track start ID");
    Bytes truncated = midiFile({notes()});
    truncated.pop_back();
    EXPECT_EQ(loadError(truncated), "Stream read error");
    expectEmpty();
}

TEST_F(MidiDataTest, ClearingResetsTheHeader) {
    ASSERT_EQ(
        loadError(midiFile({notes()}, Header().withFormat(0).withDivision(480).withExtra({1, 2}))),
        "");
    data.setActive(false);
    expectEmpty();
}

Bytes riffMidi(const Bytes& midi) {
    return test::riffForm("RMID", {test::riffChunk("data", midi)});
}

TEST_F(MidiDataTest, RiffWrappedFilesAreUnwrappedByTheirExtension) {
    const Bytes midi = midiFile({notes(), notes()}, Header().withDivision(120));
    Bytes odd = midi;
    odd.push_back(0); // an odd chunk is padded before the next one
    const Bytes wrapped = test::riffForm("RMID", {test::riffChunk("LIST", {'I', 'N', 'F', 'O', 1}),
                                                  test::riffChunk("data", odd),
                                                  test::riffChunk("DISP", {1, 0, 0, 0})});
    for (const char* name : {"dir.mid/a.rmi", "A.RMI", "b.Riff"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(loadError(wrapped, name), "");
        EXPECT_EQ(data.TrackCount(), 2);
        EXPECT_EQ(data.PPQN(), 120);
    }
    EXPECT_EQ(loadError(wrapped, "a.mid"), "Invalid MIDI file ID");
    EXPECT_EQ(loadError(midi, "a.rmi.mid"), "");
    // A RIFF form of another type comes first and is skipped.
    Bytes twoForms = test::riffForm("WAVE", {test::riffChunk("data", midi)});
    const Bytes second = riffMidi(midi);
    twoForms.insert(twoForms.end(), second.begin(), second.end());
    EXPECT_EQ(loadError(twoForms, "x.rmi"), "");
}

TEST_F(MidiDataTest, RiffFailures) {
    const Bytes midi = midiFile({notes()});
    EXPECT_EQ(loadError(midi, "x.rmi"), "Unable to descend into RMID");
    EXPECT_EQ(loadError(test::riffForm("RMID", {test::riffChunk("DATA", midi)}), "x.rmi"),
              "Unable to descend into data");
    // A data chunk cut short by the end of the file keeps what is there.
    Bytes cut = riffMidi(midi);
    cut.resize(cut.size() - 3);
    EXPECT_EQ(loadError(cut, "x.rmi"), "Stream read error");
    expectEmpty();
}

class MidiFileTest : public MidiDataTest {
protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() /
            ("cantorix-midi-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string write(const std::string& name, const Bytes& bytes) {
        const auto path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    std::string activateError(const std::string& fileName) {
        data.setFileName(fileName);
        try {
            data.setActive(true);
        } catch (const EMidiLoadError& e) {
            return e.what();
        }
        return "";
    }

    std::filesystem::path m_dir;
};

TEST_F(MidiFileTest, ActivatingReadsTheNamedFile) {
    ASSERT_EQ(activateError(write("a.mid", midiFile({notes()}))), "");
    EXPECT_EQ(data.TrackCount(), 1);
    data.setActive(false);
    ASSERT_EQ(activateError(write("b.RMI", riffMidi(midiFile({notes(), notes()})))), "");
    EXPECT_EQ(data.TrackCount(), 2);
}

TEST_F(MidiFileTest, FilesThatCannotBeOpenedNameThePath) {
    const std::string missing = (m_dir / "missing.mid").string();
    EXPECT_EQ(activateError(missing),
              "Cannot open file \"" + missing + "\". No such file or directory");
    expectEmpty();
    EXPECT_EQ(activateError(m_dir.string()),
              "Cannot open file \"" + m_dir.string() + "\". Is a directory");
    const std::string riff = (m_dir / "missing.rmi").string();
    EXPECT_EQ(activateError(riff), "Unable to open " + riff);
    expectEmpty();
}

} // namespace
} // namespace cantorix::midi
