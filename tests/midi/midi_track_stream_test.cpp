// The event grammar of a track, its records, name, first program and channel, note pairing and
// the record capacity.

#include "midi/midi_data.h"
#include "midi/midi_errors.h"
#include "midi_bytes.h"

#include <gtest/gtest.h>

namespace cantorix::midi {
namespace {

using test::Bytes;
using test::midiFile;
using test::TrackBody;

class MidiTrackStreamTest : public ::testing::Test {
protected:
    const TMidiTrackStream& load(const TrackBody& body) {
        data.load(midiFile({body}), "t.mid");
        return *data.Tracks(0);
    }
    std::string loadError(const TrackBody& body) {
        try {
            data.load(midiFile({body}), "t.mid");
        } catch (const EMidiLoadError& e) {
            EXPECT_FALSE(data.Active());
            EXPECT_EQ(data.TrackCount(), 0);
            return e.what();
        }
        return "";
    }

    TMidiData data;
};

TEST_F(MidiTrackStreamTest, RunningStatusRepeatsTheLastChannelStatusAcrossMetaAndSysex) {
    const auto& track = load(TrackBody()
                                 .event(0, {0x91, 60, 100})
                                 .event(10, {62, 90})
                                 .text(0, 0x01, "x")
                                 .sysex(0, 0xF0, {0x7E, 0xF7})
                                 .event(5, {64, 80})
                                 .event(0, {0xC2, 7})
                                 .event(1, {8})
                                 .event(1, {0xF8})
                                 .event(1, {9})
                                 .end());
    ASSERT_EQ(track.EventCount(), 10);
    const auto e = track.events();
    EXPECT_EQ(e[1].event.shortMessage(), 0x5A3E91u);
    EXPECT_EQ(e[1].position, 10);
    EXPECT_EQ(e[4].event.status, 0x91);
    EXPECT_EQ(e[4].position, 15);
    // Program changes take one data byte, also under running status.
    EXPECT_EQ(e[6].event.shortMessage(), 0x0008C2u);
    EXPECT_EQ(e[6].position, 16);
    // A system status reads no data bytes and leaves the running status alone.
    EXPECT_EQ(e[7].event.status, 0xF8);
    EXPECT_EQ(e[7].dataLength, 0);
    EXPECT_EQ(e[8].event.shortMessage(), 0x0009C2u);
    EXPECT_EQ(track.firstChannel(), 1);
    EXPECT_EQ(track.firstProgram(), 7);
}

TEST_F(MidiTrackStreamTest, DataByteWithoutRunningStatusFails) {
    EXPECT_EQ(loadError(TrackBody().text(0, 0x03, "n").event(0, {60, 100})),
              "Error in Running Status");
    EXPECT_EQ(loadError(TrackBody().event(0, {0xF8}).event(0, {60, 100})),
              "Error in Running Status");
}

TEST_F(MidiTrackStreamTest, SysexRecordsAndContinuations) {
    const auto& track = load(TrackBody()
                                 .sysex(0, 0xF0, {0x43, 0x12})
                                 .sysex(4, 0xF7, {0x00, 0xF7})
                                 .sysex(0, 0xF0, {})
                                 .sysex(0, 0xF7, {0xF7})
                                 .end());
    const auto e = track.events();
    ASSERT_EQ(track.EventCount(), 5);
    EXPECT_EQ(e[0].dataLength, 2);
    EXPECT_EQ(Bytes(track.block(e[0]).begin(), track.block(e[0]).end()), (Bytes{0x43, 0x12}));
    EXPECT_EQ(e[1].event.status, 0xF7);
    EXPECT_EQ(e[2].dataLength, 0);
    EXPECT_EQ(track.firstChannel(), 0);
    EXPECT_EQ(track.firstProgram(), 0);

    EXPECT_EQ(loadError(TrackBody().sysex(0, 0xF0, {0x43}).event(0, {0x90, 60, 1})),
              "Error in Sysex");
    // A sysex of no bytes is unterminated too.
    EXPECT_EQ(loadError(TrackBody().sysex(0, 0xF0, {}).end()), "Error in Sysex");
    // An unterminated sysex at the very end of the track is no error.
    EXPECT_EQ(loadError(TrackBody().end().sysex(0, 0xF0, {0x43})), "");
}

TEST_F(MidiTrackStreamTest, MetaRecordsHoldTheTypeByteFirst) {
    const auto& track = load(TrackBody().tempo(3, 500000).end());
    const auto& tempo = track.events()[0];
    EXPECT_EQ(tempo.event.status, 0xFF);
    EXPECT_EQ(tempo.dataLength, 4);
    EXPECT_EQ(tempo.position, 3);
    EXPECT_EQ(Bytes(track.block(tempo).begin(), track.block(tempo).end()),
              (Bytes{0x51, 0x07, 0xA1, 0x20}));
    EXPECT_EQ(track.metaData(tempo).size(), 3u);
    EXPECT_TRUE(track.block(track.events()[1]).size() == 1);
}

TEST_F(MidiTrackStreamTest, LongMetaAndSysexKeepAllTheirBytes) {
    Bytes text(70000, 'a');
    text.back() = 'z';
    Bytes sysex(65536, 0x11);
    sysex.back() = 0xF7;
    const auto& track = load(TrackBody().meta(0, 0x01, text).sysex(0, 0xF0, sysex).end());
    const auto e = track.events();
    EXPECT_EQ(e[0].dataLength, 65535);
    EXPECT_EQ(track.block(e[0]).size(), 70001u);
    EXPECT_EQ(track.block(e[0]).back(), 'z');
    EXPECT_EQ(track.TrackName().size(), 70000u);
    EXPECT_EQ(e[1].dataLength, 65535);
    EXPECT_EQ(track.block(e[1]).size(), 65536u);
    EXPECT_EQ(track.block(e[1]).back(), 0xF7);
}

TEST_F(MidiTrackStreamTest, DeltaTimesAccumulateWithLongQuantities) {
    Bytes body{0x81, 0x80, 0x80, 0x80, 0x00, 0xF8}; // 2^28 in five bytes
    const Bytes end{0x83, 0x00, 0xFF, 0x2F, 0x00};
    body.insert(body.end(), end.begin(), end.end());
    Bytes chunk;
    test::appendTag(chunk, "MTrk");
    test::appendBE(chunk, static_cast<std::uint32_t>(body.size()), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    data.load(midiFile(std::vector<Bytes>{chunk}), "t.mid");
    EXPECT_EQ(data.Tracks(0)->events()[0].position, 1 << 28);
    EXPECT_EQ(data.Tracks(0)->events()[1].position, (1 << 28) + 384);
}

TEST_F(MidiTrackStreamTest, EventsTruncatedByTheChunkEndFail) {
    EXPECT_EQ(loadError(TrackBody().event(0, {0x90, 60})), "Stream read error");
    EXPECT_EQ(loadError(TrackBody().event(0, {0xFF, 0x01, 5, 'a'})), "Stream read error");
    EXPECT_EQ(loadError(TrackBody().end().event(0x80, {})), "Stream read error");
}

TEST_F(MidiTrackStreamTest, BytesAfterTheEndOfTrackAreMoreEvents) {
    const auto& track = load(TrackBody().event(0, {0x90, 60, 1}).end(10).event(5, {0x80, 60, 0}));
    ASSERT_EQ(track.EventCount(), 3);
    EXPECT_EQ(track.events()[2].position, 15);
    EXPECT_EQ(track.events()[2].partner, 0);
}

TEST_F(MidiTrackStreamTest, MissingEndOfTrackIsAddedAtTheLastPosition) {
    const auto& track = load(TrackBody().event(0, {0x90, 60, 1}).event(40, {0x80, 60, 0}));
    ASSERT_EQ(track.EventCount(), 3);
    const TMidiEvent& end = track.events()[2];
    EXPECT_EQ(end.position, 40);
    EXPECT_EQ(end.dataLength, 1);
    EXPECT_EQ(track.block(end)[0], 0x2F);

    const auto& empty = load(TrackBody());
    ASSERT_EQ(empty.EventCount(), 1);
    EXPECT_EQ(empty.events()[0].position, 0);
}

TEST_F(MidiTrackStreamTest, NameIsTheLastTrackNameElseTheFirstText) {
    EXPECT_EQ(load(TrackBody().text(0, 1, "first").text(0, 1, "second").end()).TrackName(),
              "first");
    const auto& named = load(TrackBody()
                                 .text(0, 1, "text")
                                 .text(0, 3, "one")
                                 .text(0, 3, std::string("two\0x", 5))
                                 .end());
    EXPECT_EQ(named.TrackName(), "two");
    EXPECT_EQ(named.nameEvent(), &named.events()[2]);
    EXPECT_EQ(load(TrackBody().text(0, 3, "").end()).TrackName(), "");
    EXPECT_EQ(load(TrackBody().text(0, 2, "(c)").end()).nameEvent(), nullptr);
}

TEST_F(MidiTrackStreamTest, NotesPairWithTheLatestOpenNoteOfTheirNumber) {
    // Running status 9n with velocity 0 ends notes; channels are not told apart.
    const auto& track = load(TrackBody()
                                 .event(0, {0x90, 60, 100})
                                 .event(0, {60, 90})
                                 .event(10, {60, 0})
                                 .event(0, {0x81, 60, 0})
                                 .event(0, {0x80, 60, 0})
                                 .event(0, {0x90, 200, 1})
                                 .end());
    const auto e = track.events();
    EXPECT_EQ(e[2].partner, 1);
    EXPECT_EQ(e[1].partner, 2);
    EXPECT_EQ(e[3].partner, 0);
    EXPECT_EQ(e[0].partner, 3);
    EXPECT_EQ(e[4].partner, kNoPartner); // nothing left open
    EXPECT_EQ(e[5].partner, kNoPartner);
    EXPECT_EQ(e[6].partner, kNoPartner);
}

TEST_F(MidiTrackStreamTest, ASixthOverlappingNoteStaysUnpaired) {
    TrackBody body;
    for (int i = 0; i < 6; ++i)
        body.event(1, {0x90, 64, 100});
    body.event(0, {0x90, 65, 100});
    for (int i = 0; i < 6; ++i)
        body.event(1, {0x80, 64, 0});
    const auto e = load(body.end()).events();
    EXPECT_EQ(e[5].partner, kNoPartner);
    EXPECT_EQ(e[4].partner, 7);
    EXPECT_EQ(e[0].partner, 11);
    EXPECT_EQ(e[11].partner, 0);
    EXPECT_EQ(e[12].partner, kNoPartner);
    EXPECT_EQ(e[6].partner, kNoPartner);
}

TrackBody systemEvents(std::size_t count) {
    TrackBody body;
    for (std::size_t i = 0; i < count; ++i)
        body.event(1, {0xF8});
    return body;
}

TEST_F(MidiTrackStreamTest, ARecordArrayHoldsAHundredThousandEvents) {
    EXPECT_EQ(load(systemEvents(99999).end()).EventCount(), 100000);
    EXPECT_EQ(loadError(systemEvents(100000).end()), "Size exceeds capacity");
    // The end-of-track that is added counts as well.
    EXPECT_EQ(loadError(systemEvents(100000)), "Size exceeds capacity");
    EXPECT_EQ(load(systemEvents(99999)).EventCount(), 100000);
}

} // namespace
} // namespace cantorix::midi
