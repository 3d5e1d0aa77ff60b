// Positions in ticks, milliseconds and bars under the tempo map of track 0.

#include "midi/midi_position.h"
#include "midi_bytes.h"

#include <gtest/gtest.h>
#include <tuple>

namespace cantorix::midi {
namespace {

using test::midiFile;
using test::TrackBody;

// Counts the hooks a derived position (the player's iterator) relies on.
class CountingPosition : public TMidiPosition {
public:
    using TMidiPosition::TMidiPosition;
    void Reset() override {
        TMidiPosition::Reset();
        ++resets;
    }
    void Changed() override { ++changes; }
    int resets = 0;
    int changes = 0;
};

class MidiPositionTest : public ::testing::Test {
protected:
    void load(const TrackBody& map, std::uint16_t ppqn, const TrackBody& other = TrackBody()) {
        data.load(midiFile({map, other}, test::Header().withDivision(ppqn)), "t.mid");
    }
    std::int32_t timeAt(std::int32_t tick) {
        TMidiPosition position(&data);
        position.SetTicks(tick);
        return position.Time();
    }
    static auto barBeatTick(const TMidiPosition& p) {
        return std::make_tuple(p.Bar(), p.Beat(), p.TickInBeat());
    }

    TMidiData data;
};

TEST_F(MidiPositionTest, ResetValuesWithAndWithoutData) {
    TMidiPosition none;
    EXPECT_EQ(none.ppqn(), 180);
    EXPECT_EQ(none.tempo(), 600);
    EXPECT_EQ(none.ticksPerBeat(), 180);
    EXPECT_EQ(none.ticksPerBar(), 720);
    EXPECT_EQ(none.SongLength(), 0);
    none.SetTicks(180);
    EXPECT_EQ(none.Time(), 600);
    load(TrackBody().end(), 96);
    TMidiPosition bound(&data);
    EXPECT_EQ(bound.ppqn(), 96);
    EXPECT_EQ(bound.ticksPerBar(), 384);
}

TEST_F(MidiPositionTest, WithoutTempoEventsAQuarterLasts600Ms) {
    load(TrackBody().end(), 96);
    EXPECT_EQ(timeAt(96), 600);
    EXPECT_EQ(timeAt(95), 593); // 593.75 truncated
}

TEST_F(MidiPositionTest, TempoAtTickZeroSetsMillisecondsPerQuarter) {
    load(TrackBody().tempo(0, 500000).end(), 480);
    EXPECT_EQ(timeAt(480), 500);
    EXPECT_EQ(timeAt(720), 750);
}

TEST_F(MidiPositionTest, TempoIsTruncatedToWholeMillisecondsAtEveryChange) {
    load(TrackBody().tempo(0, 333333).tempo(50, 500000).end(), 96);
    TMidiPosition position(&data);
    position.SetTicks(40);
    EXPECT_EQ(position.tempo(), 333);
    EXPECT_EQ(position.Time(), 138); // 40 x 333 / 96 = 138.75
    // 50 x 333 / 96 = 173.4 is cut at the change, then 96 ticks at 500 ms.
    position.SetTicks(146);
    EXPECT_EQ(position.tempoTime(), 173);
    EXPECT_EQ(position.Time(), 673);
}

TEST_F(MidiPositionTest, OnlyTrackZeroCarriesTheTempoMap) {
    load(TrackBody().end(), 96, TrackBody().tempo(0, 1000000).signature(0, 3, 2).end());
    TMidiPosition position(&data);
    position.SetTicks(96 * 5);
    EXPECT_EQ(position.Time(), 3000);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(1, 1, 0));
}

TEST_F(MidiPositionTest, BarsAndBeatsFollowTheSignature) {
    load(TrackBody().signature(0, 6, 3).end(), 96);
    TMidiPosition position(&data);
    position.SetTicks(288 + 2 * 48 + 5);
    EXPECT_EQ(position.ticksPerBeat(), 48);
    EXPECT_EQ(position.ticksPerBar(), 288);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(1, 2, 5));
    load(TrackBody().signature(0, 3, 1).end(), 96);
    position.Reset();
    position.SetTicks(192 * 3 + 10);
    EXPECT_EQ(position.ticksPerBeat(), 192);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(1, 0, 10));
}

TEST_F(MidiPositionTest, ASignatureChangeMidBarStartsTheNextBarNumber) {
    // 4/4 for one bar and a half, then 3/4: the half bar counts as bar 1.
    load(TrackBody().signature(0, 4, 2).signature(576, 3, 2).end(), 96);
    TMidiPosition position(&data);
    position.SetTicks(575);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(1, 1, 95));
    position.SetTicks(576);
    EXPECT_EQ(position.signatureBar(), 2);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(2, 0, 0));
    position.SetTicks(576 + 288 + 100);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(3, 1, 4));
    position.SetBarBeatTick(3, 1, 4);
    EXPECT_EQ(position.Ticks(), 576 + 288 + 100);
    position.SetBarBeatTick(1, 1, 0);
    EXPECT_EQ(position.Ticks(), 480);
    position.SetBarBeatTick(2, 2, 0);
    EXPECT_EQ(position.Ticks(), 576 + 192);
}

TEST_F(MidiPositionTest, BackwardMovesReplayTheMapAndForwardMovesContinueIt) {
    load(TrackBody().tempo(0, 500000).tempo(480, 250000).tempo(480, 1000000).end(), 480);
    CountingPosition position(&data);
    position.SetTicks(600);
    EXPECT_EQ(position.mapIndex(), 2);
    EXPECT_EQ(position.Time(), 500 + 62); // 120 ticks at 250 ms per 480
    position.SetTicks(1000);
    EXPECT_EQ(position.mapIndex(), 4);
    EXPECT_EQ(position.Time(), 750 + 83); // 40 ticks at 1000 ms per 480
    EXPECT_EQ(position.resets, 0);
    position.SetTicks(100);
    EXPECT_EQ(position.resets, 1);
    EXPECT_EQ(position.mapIndex(), 1);
    EXPECT_EQ(position.tempo(), 500);
    EXPECT_EQ(position.Time(), 104);
    EXPECT_EQ(position.changes, 3);
}

TEST_F(MidiPositionTest, SetTimeFindsTheTickAndKeepsTheExactTime) {
    load(TrackBody().tempo(0, 500000).tempo(480, 250000).end(), 480);
    CountingPosition position(&data);
    position.SetTime(250);
    EXPECT_EQ(position.Ticks(), 240);
    position.SetTime(501);
    EXPECT_EQ(position.tempo(), 250);
    EXPECT_EQ(position.Ticks(), 481); // 1 ms at 250 ms per 480 ticks is 1.92 ticks
    EXPECT_EQ(position.Time(), 501);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(0, 1, 1));
    EXPECT_EQ(position.resets, 0);
    position.SetTime(100);
    EXPECT_EQ(position.resets, 1);
    EXPECT_EQ(position.Ticks(), 96);
    EXPECT_EQ(position.changes, 3);
}

TEST_F(MidiPositionTest, SetTimeAppliesSignaturesOnTheWay) {
    load(TrackBody().signature(0, 3, 2).signature(96 * 3 + 48, 2, 2).end(), 96);
    TMidiPosition position(&data);
    position.SetTime(600 * 5); // tick 480: 144 ticks into the 2/4 that began in bar 2
    EXPECT_EQ(position.Ticks(), 480);
    EXPECT_EQ(barBeatTick(position), std::make_tuple(2, 1, 48));
}

TEST_F(MidiPositionTest, SetBarBeatTickRewindsOnlyForEarlierTargets) {
    load(TrackBody().tempo(0, 500000).end(), 96);
    CountingPosition position(&data);
    position.SetBarBeatTick(2, 1, 10);
    EXPECT_EQ(position.Ticks(), 2 * 384 + 96 + 10);
    EXPECT_EQ(position.Time(), (2 * 384 + 96 + 10) * 500 / 96);
    position.SetBarBeatTick(2, 1, 11);
    EXPECT_EQ(position.resets, 0);
    position.SetBarBeatTick(2, 0, 50);
    EXPECT_EQ(position.resets, 1);
    position.SetBarBeatTick(0, 0, 0);
    EXPECT_EQ(position.Ticks(), 0);
    EXPECT_EQ(position.Time(), 0);
    EXPECT_EQ(position.resets, 2);
    const int changes = position.changes;
    position.SetBarBeatTick(0, 0, -1); // before the start: nothing moves
    EXPECT_EQ(position.changes, changes);
}

TEST_F(MidiPositionTest, SongLengthIsTheLastChannelEventOfTheLongestTrack) {
    load(TrackBody().tempo(0, 500000).end(9999), 96,
         TrackBody().event(0, {0x90, 60, 1}).event(700, {0x80, 60, 0}).text(50, 1, "x").end(5));
    TMidiPosition position(&data);
    EXPECT_EQ(position.SongLength(), 700);
    position.GoToEnd();
    EXPECT_EQ(position.Ticks(), 700);
    EXPECT_EQ(position.Time(), 700 * 500 / 96);
}

TEST_F(MidiPositionTest, RebindingKeepsTheTickUnderTheNewMap) {
    load(TrackBody().tempo(0, 1000000).end(), 100);
    TMidiPosition position;
    position.SetTicks(200);
    EXPECT_EQ(position.Time(), 666);
    position.SetMidiData(&data);
    EXPECT_EQ(position.Ticks(), 200);
    EXPECT_EQ(position.Time(), 2000);
    position.SetMidiData(nullptr);
    EXPECT_EQ(position.ppqn(), 180);
    EXPECT_EQ(position.Time(), 666);
}

TEST_F(MidiPositionTest, TimeAdvancesUnderTemposAndDivisionsTooSmallForWholeMilliseconds) {
    // A tempo under 1 ms per quarter counts as 1 ms and a division of 0 as one tick per
    // quarter; either would otherwise hold the time still, both ways of moving.
    struct Case {
        std::uint32_t microseconds;
        std::uint16_t ppqn;
        std::int32_t tempo;
        std::int32_t timeAt960;
    };
    for (const Case c : {Case{999, 96, 1, 10}, Case{500, 96, 1, 10}, Case{1, 960, 1, 1},
                         Case{0, 96, 1, 10}, Case{1000, 0, 1, 960}, Case{500000, 0, 500, 480000}}) {
        SCOPED_TRACE(std::to_string(c.microseconds) + " us at PPQN " + std::to_string(c.ppqn));
        load(TrackBody().tempo(0, c.microseconds).end(), c.ppqn);
        TMidiPosition byTicks(&data);
        byTicks.SetTicks(960);
        EXPECT_EQ(byTicks.tempo(), c.tempo);
        EXPECT_EQ(byTicks.Time(), c.timeAt960);
        TMidiPosition byTime(&data);
        byTime.SetTime(c.timeAt960);
        EXPECT_EQ(byTime.Ticks(), 960);
    }
}

TEST_F(MidiPositionTest, DegenerateSignaturesDoNotTrap) {
    load(TrackBody().signature(0, 0, 40).meta(0, 0x58, {}).end(), 96);
    TMidiPosition position(&data);
    position.SetTicks(1000);
    EXPECT_EQ(position.Ticks(), 1000);
    EXPECT_EQ(position.ticksPerBar(), 0);
    position.SetTime(5000);
    EXPECT_EQ(position.Time(), 5000);
    EXPECT_EQ(position.Ticks(), 800);
    position.SetBarBeatTick(3, 2, 1);
    EXPECT_EQ(position.Ticks(), 1);
}

} // namespace
} // namespace cantorix::midi
