#include "fakes/fake_midi_output.h"
#include "fakes/manual_main_thread.h"
#include "fakes/manual_midi_timer.h"
#include "midi/midi_player.h"
#include "midi_bytes.h"

#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>

using namespace cantorix::midi;
using cantorix::midi::testing::FakeMidiOutputs;
using cantorix::midi::testing::ManualMidiTimer;
using cantorix::midi::testing::ShortMessage;
using cantorix::pitch::testing::ManualInvoker;

namespace {

ShortMessage ev(int status, int data1, int data2 = 0) {
    return {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(data1),
            static_cast<std::uint8_t>(data2)};
}

std::vector<ShortMessage> notesOf(const std::vector<ShortMessage>& events) {
    std::vector<ShortMessage> notes;
    std::copy_if(events.begin(), events.end(), std::back_inserter(notes),
                 [](const ShortMessage& m) { return m.isNote(); });
    return notes;
}

// PPQN 96 at 96 ms per quarter note: one tick is one millisecond.
// Track 1 (channel 0): program 5 and volume 100 at 0, C4 from 10 to 50, a pitch bend at 60,
// D4 from 70 to 100. Track 2 (channel 1): program 20 at 0, E4 from 20 to 80, pan 30 at 40.
test::Bytes songBytes() {
    using test::TrackBody;
    return test::midiFile({TrackBody().tempo(0, 96000).end(100),
                           TrackBody()
                               .event(0, {0xC0, 5})
                               .event(0, {0xB0, 7, 100})
                               .event(10, {0x90, 60, 100})
                               .event(40, {0x80, 60, 0})
                               .event(10, {0xE0, 0, 64})
                               .event(10, {0x90, 62, 100})
                               .event(30, {0x90, 62, 0})
                               .end(),
                           TrackBody()
                               .event(0, {0xC1, 20})
                               .event(20, {0x91, 64, 90})
                               .event(20, {0xB1, 10, 30})
                               .event(40, {0x81, 64, 0})
                               .end()});
}

class MidiPlayerTest : public ::testing::Test {
protected:
    MidiPlayerTest() {
        const test::Bytes bytes = songBytes();
        data.load(bytes, "song.mid");
        outputs.setMidiData(&data);
        player.setTrackOutputs(&outputs);
        player.setOnStop([this](TMidiPlayer&) { events.push_back("stop"); });
        player.setOnPlay([this](TMidiPlayer&) { events.push_back("play"); });
        player.setOnPause([this](TMidiPlayer&) { events.push_back("pause"); });
        player.setOnFastForward([this](TMidiPlayer&) { events.push_back("fastforward"); });
    }

    // The editor's Play All (Play Selected with `only` >= 0).
    void playAll(int only = -1) {
        outputs.setActive(true);
        for (int i = 0; i < outputs.outputCount(); ++i)
            outputs.Outputs(i)->setMuted(false);
        if (only >= 0)
            for (int i = 0; i < outputs.outputCount(); ++i)
                outputs.Outputs(i)->setMuted(i != only);
        player.Rebind();
        player.Rewind();
        player.setPlay(true);
    }

    FakeMidiOutputs devices;
    PhysicalPortRegistry registry{devices};
    ManualMidiTimer timer;
    ManualInvoker invoker;
    TMidiData data;
    TTrackOutputs outputs{registry, &invoker};
    TMidiPlayer player{registry, timer, invoker};
    std::vector<std::string> events;
};

} // namespace

TEST_F(MidiPlayerTest, StartsTheTimerAtTheResolutionAndPeriod) {
    EXPECT_EQ(player.TimerResolution(), 4);
    EXPECT_EQ(player.TempoPercent(), 100);
    timer.minimum = 2;
    player.setTimerPeriod(1);
    EXPECT_EQ(player.TimerPeriod(), 2) << "never below the timer's minimum";
    playAll();
    EXPECT_EQ(player.state(), TPlayerState::Playing);
    EXPECT_EQ(events, (std::vector<std::string>{"pause", "play"}));
    EXPECT_EQ(timer.interval(), 4);
    EXPECT_EQ(timer.period(), 2);
}

TEST_F(MidiPlayerTest, TempoScalesEachTickInIntegerArithmetic) {
    playAll();
    player.setTempoPercent(150);
    timer.tick(4);
    EXPECT_EQ(player.Time(), 6);
    timer.tick(4);
    EXPECT_EQ(player.Time(), 12);

    player.setTempoPercent(110);
    timer.ticks(5);
    EXPECT_EQ(player.Time(), 32) << "4.4 ms truncated to 4 at every tick";

    player.setTempoPercent(20);
    timer.ticks(3);
    EXPECT_EQ(player.Time(), 32) << "below 25 % a 4 ms tick moves nothing";
    timer.tick(10);
    EXPECT_EQ(player.Time(), 34) << "a longer tick still moves";
    EXPECT_EQ(player.Position(), 34) << "one tick per millisecond in this file";
}

TEST_F(MidiPlayerTest, FastForwardAdvancesFourTimesTheScaledTime) {
    outputs.setActive(true);
    player.Rebind();
    player.setFastForward(true);
    EXPECT_EQ(player.state(), TPlayerState::FastForward);
    EXPECT_EQ(player.speed(), 4);
    player.setTempoPercent(110);
    timer.tick(4);
    EXPECT_EQ(player.Time(), 16) << "(4 × 110 / 100) × 4";
    player.setPlay(true);
    EXPECT_EQ(player.state(), TPlayerState::Playing);
    timer.tick(4);
    EXPECT_EQ(player.Time(), 20);
    player.setFastForward(true);
    player.setFastForward(false);
    EXPECT_EQ(player.state(), TPlayerState::Stopped);
    EXPECT_EQ(events,
              (std::vector<std::string>{"pause", "fastforward", "play", "fastforward", "stop"}));
}

TEST_F(MidiPlayerTest, SendsEachEventOnTheFirstTickPastIt) {
    playAll();
    devices.clear();
    timer.ticks(2); // position 8
    EXPECT_EQ(notesOf(devices.messages()), std::vector<ShortMessage>{});
    timer.tick(4); // position 12: C4 at 10 is due
    EXPECT_EQ(notesOf(devices.messages()), (std::vector<ShortMessage>{ev(0x90, 60, 100)}));
    timer.ticks(4); // position 28: E4 at 20
    EXPECT_EQ(notesOf(devices.messages()).back(), ev(0x91, 64, 90));
    EXPECT_EQ(outputs.Outputs(1)->port().soundingNotes(0, 60), 1);
    EXPECT_EQ(outputs.Outputs(2)->port().soundingNotes(1, 64), 1);
}

TEST_F(MidiPlayerTest, MutedTrackSendsItsControllersButNoNotes) {
    playAll(1); // track 2 muted
    timer.ticks(30);
    std::vector<ShortMessage> channel1;
    for (const ShortMessage& e : devices.messages())
        if (e.channel() == 1)
            channel1.push_back(e);
    EXPECT_EQ(channel1, (std::vector<ShortMessage>{ev(0xC1, 20), ev(0xC1, 20), ev(0xB1, 10, 30)}))
        << "the track's patch when bound, its own program change and its pan";
    EXPECT_FALSE(notesOf(devices.messages()).empty()) << "track 1 plays";
}

TEST_F(MidiPlayerTest, MutingDuringPlaybackEndsTheNotesAtOnce) {
    playAll();
    timer.ticks(8); // position 32: C4 and E4 sound
    devices.clear();
    outputs.Outputs(2)->setMuted(true);
    EXPECT_EQ(devices.messages(), (std::vector<ShortMessage>{ev(0x81, 64, 0)}));
    timer.ticks(15); // position 92
    std::vector<ShortMessage> channel1;
    for (const ShortMessage& e : devices.messages())
        if (e.channel() == 1)
            channel1.push_back(e);
    EXPECT_EQ(channel1, (std::vector<ShortMessage>{ev(0x81, 64, 0), ev(0xB1, 10, 30)}))
        << "the pan at 40 still goes out, E4's own note-off at 80 does not";
}

TEST_F(MidiPlayerTest, AutoStopEndsPlaybackAfterTheLastEventAndTellsTheWindowThread) {
    playAll();
    events.clear();
    timer.ticks(25); // position 100: the end-of-track events at 100 are not yet passed
    EXPECT_EQ(player.state(), TPlayerState::Playing);
    timer.tick(4);
    EXPECT_EQ(player.state(), TPlayerState::Stopped);
    EXPECT_FALSE(timer.running());
    EXPECT_EQ(player.resumePosition(), 104);
    EXPECT_TRUE(events.empty()) << "the tick posts the event";
    EXPECT_EQ(invoker.runPending(), 1);
    EXPECT_EQ(events, std::vector<std::string>{"stop"});
    EXPECT_EQ(outputs.Outputs(1)->port().soundingNotes(0, 62), 0);
}

TEST_F(MidiPlayerTest, AutoStopFiresUnderTemposTooFastForWholeMilliseconds) {
    // 500 us per quarter, and a division of 0, each came to 0 ms per tick: the position stood
    // still and the player never reached the end.
    for (const auto& [microseconds, ppqn] : {std::pair<std::uint32_t, std::uint16_t>{500, 96},
                                             std::pair<std::uint32_t, std::uint16_t>{1000, 0}}) {
        SCOPED_TRACE(std::to_string(microseconds) + " us at PPQN " + std::to_string(ppqn));
        data.load(test::midiFile(
                      {test::TrackBody().tempo(0, microseconds).end(),
                       test::TrackBody().event(0, {0x90, 60, 100}).event(960, {0x80, 60, 0}).end()},
                      test::Header().withDivision(ppqn)),
                  "fast.mid");
        playAll();
        timer.ticks(300);
        EXPECT_EQ(player.state(), TPlayerState::Stopped);
        EXPECT_FALSE(timer.running());
        EXPECT_GT(player.Position(), 960);
        EXPECT_EQ(outputs.Outputs(1)->port().soundingNotes(0, 60), 0);
        outputs.setActive(false);
        player.Rebind();
    }
}

TEST_F(MidiPlayerTest, WithoutAutoStopTheTimerRunsOnAtTheEnd) {
    player.setAutoStop(false);
    playAll();
    timer.ticks(40);
    EXPECT_EQ(player.state(), TPlayerState::Playing);
    EXPECT_EQ(player.Position(), 160);
}

TEST_F(MidiPlayerTest, SeekingSendsOnlyTheStateSettingEvents) {
    outputs.setActive(true);
    player.Rebind();
    player.Rewind();
    devices.clear();
    player.setPosition(75);
    EXPECT_EQ(devices.messages(),
              (std::vector<ShortMessage>{ev(0xC0, 5), ev(0xB0, 7, 100), ev(0xE0, 0, 64),
                                         ev(0xC1, 20), ev(0xB1, 10, 30)}));

    devices.clear();
    player.setPosition(30);
    const std::vector<ShortMessage> back = devices.messages();
    ASSERT_GE(back.size(), 2u);
    EXPECT_EQ(back[0], ev(0xB0, 7, 90)) << "controllers reset before moving backwards";
    EXPECT_EQ(back[1], ev(0xB1, 10, 64));
    EXPECT_EQ(notesOf(back), std::vector<ShortMessage>{});
    EXPECT_EQ(player.Position(), 30);
}

TEST_F(MidiPlayerTest, StartAfterRewindReplaysUpToTheLastStopFirst) {
    playAll();
    timer.ticks(16); // position 64
    player.Stop();
    EXPECT_EQ(player.resumePosition(), 64);
    player.Rebind();
    player.Rewind();
    EXPECT_EQ(player.Position(), 0);
    devices.clear();
    player.setPlay(true);
    // Forwards to 64 sends the state-setting events before it; back to 0 rebinds the patches,
    // where the tempo track (no program, no channel) sets program 0 on channel 0 before track 1
    // sets its own again.
    EXPECT_EQ(devices.messages(), (std::vector<ShortMessage>{
                                      ev(0xC0, 5), ev(0xB0, 7, 100), ev(0xE0, 0, 64), ev(0xC1, 20),
                                      ev(0xB1, 10, 30), ev(0xC0, 0), ev(0xC0, 5)}));
    EXPECT_EQ(notesOf(devices.messages()), std::vector<ShortMessage>{});
    EXPECT_EQ(player.Position(), 0);
}

TEST_F(MidiPlayerTest, GoToEndGivesTheSongLengthHoldingPlaybackAtPaused) {
    playAll();
    timer.ticks(5);
    events.clear();
    player.GoToEnd();
    EXPECT_EQ(player.Position(), 100);
    EXPECT_EQ(player.state(), TPlayerState::Playing);
    EXPECT_EQ(events, (std::vector<std::string>{"pause", "play"}));
    EXPECT_EQ(outputs.Outputs(1)->port().soundingNotes(0, 60), 0) << "notes ended";
}

TEST_F(MidiPlayerTest, StartWithInactiveOutputsOnlyPassesThroughPlaying) {
    player.setPlay(true);
    EXPECT_EQ(player.state(), TPlayerState::Stopped);
    EXPECT_EQ(timer.starts(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"play", "stop"}));
}

TEST_F(MidiPlayerTest, StaysStoppedWhenTheTimerCannotStart) {
    timer.refuseStart = true;
    playAll();
    EXPECT_EQ(player.state(), TPlayerState::Stopped);
    EXPECT_EQ(events, (std::vector<std::string>{"pause", "stop"}));
}

TEST_F(MidiPlayerTest, RebindStopsAndFollowsTheOutputsActivity) {
    playAll();
    timer.ticks(5);
    outputs.setActive(false);
    player.Rebind();
    EXPECT_EQ(player.state(), TPlayerState::Stopped);
    player.GoToEnd();
    EXPECT_EQ(player.Position(), 100) << "GoToEnd binds to the outputs' data itself";
    player.Rebind();
    EXPECT_EQ(player.Position(), 100);
    EXPECT_EQ(events.back(), "stop");
}

TEST_F(MidiPlayerTest, TickMeetingAWindowThreadOperationSkipsAndCatchesUpLater) {
    playAll();
    timer.tick(4);
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false, release = false;
    std::thread window([&] {
        std::lock_guard registryLock(registry.mutex());
        std::unique_lock lock(mutex);
        held = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return held; });
    }
    timer.tick(4);
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    window.join();
    EXPECT_EQ(player.Time(), 4) << "the tick skipped";
    timer.tick(4);
    EXPECT_EQ(player.Time(), 12) << "the skipped time is played with the next tick";
}

TEST_F(MidiPlayerTest, OnEventReachesTheWindowThreadInOrder) {
    std::vector<int> tracks;
    std::vector<ShortMessage> sent;
    outputs.setOnEvent([&](TMidiIterator&, int index, const TEventData& event) {
        tracks.push_back(index);
        sent.push_back(ShortMessage::of(event));
    });
    playAll(1);
    sent.clear();
    tracks.clear();
    invoker.runPending();
    timer.ticks(6); // position 24
    EXPECT_TRUE(sent.empty()) << "posted, not called on the timer thread";
    invoker.runPending();
    EXPECT_EQ(sent, (std::vector<ShortMessage>{ev(0xC0, 5), ev(0xB0, 7, 100), ev(0xC1, 20),
                                               ev(0x90, 60, 100)}));
    EXPECT_EQ(tracks, (std::vector<int>{1, 1, 2, 1}));
}

TEST_F(MidiPlayerTest, PostedEventsOfADestroyedPlayerDoNothing) {
    auto doomed = std::make_unique<TMidiPlayer>(registry, timer, invoker);
    int stops = 0;
    doomed->setOnStop([&](TMidiPlayer&) { ++stops; });
    doomed->setTrackOutputs(&outputs);
    outputs.setActive(true);
    doomed->Rebind();
    doomed->setPlay(true);
    timer.ticks(30); // the tick stops it and posts OnStop
    doomed.reset();
    invoker.runPending();
    EXPECT_EQ(stops, 0);
}
