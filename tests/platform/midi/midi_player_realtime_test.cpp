// The player with its real timer thread, while the window thread keeps using it: run under
// ThreadSanitizer this shows the two threads share nothing unguarded.

#include "fakes/fake_midi_output.h"
#include "fakes/manual_main_thread.h"
#include "midi/midi_bytes.h"
#include "midi/midi_player.h"
#include "platform/midi/midi_timer_thread.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace cantorix::midi;
using cantorix::midi::testing::FakeMidiOutputs;
using cantorix::midi::testing::SentMessage;
using cantorix::pitch::testing::ManualInvoker;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// PPQN 96 at 96 ms per quarter note (1 tick = 1 ms): two tracks of 10 ms notes over 300 ms,
// with a controller before each note.
test::Bytes busySong() {
    test::TrackBody tempo;
    tempo.tempo(0, 96000).end(300);
    test::TrackBody first, second;
    for (int i = 0; i < 30; ++i) {
        first.event(i == 0 ? 0 : 5, {0xB0, 1, static_cast<std::uint8_t>(i)})
            .event(0, {0x90, static_cast<std::uint8_t>(60 + i % 12), 100})
            .event(5, {0x80, static_cast<std::uint8_t>(60 + i % 12), 0});
        second.event(i == 0 ? 3 : 5, {0xB1, 7, static_cast<std::uint8_t>(100 - i)})
            .event(0, {0x91, 48, 90})
            .event(5, {0x91, 48, 0});
    }
    first.end();
    second.end();
    return test::midiFile({tempo, first, second});
}

} // namespace

TEST(MidiPlayerRealtimeTest, PlaysToTheEndWhileTheWindowThreadWorksOnIt) {
    FakeMidiOutputs devices;
    PhysicalPortRegistry registry(devices);
    cantorix::platform::MidiTimerThread timer;
    ManualInvoker invoker;
    TMidiData data;
    const test::Bytes bytes = busySong();
    data.load(bytes, "busy.mid");
    TTrackOutputs outputs(registry, &invoker);
    outputs.setMidiData(&data);
    TMidiPlayer player(registry, timer, invoker);
    int stops = 0;
    player.setOnStop([&](TMidiPlayer&) { ++stops; });
    int events = 0;
    outputs.setOnEvent([&](TMidiIterator&, int, const TEventData&) { ++events; });
    player.setTrackOutputs(&outputs);
    outputs.setActive(true);
    player.Rebind();
    player.Rewind();

    const auto begin = Clock::now();
    player.setPlay(true);
    ASSERT_EQ(player.state(), TPlayerState::Playing);
    std::int32_t last = 0;
    bool monotonic = true;
    int loops = 0;
    while (player.state() != TPlayerState::Stopped && Clock::now() - begin < 5s) {
        const std::int32_t position = player.Position();
        monotonic = monotonic && position >= last;
        last = position;
        outputs.Outputs(2)->setMuted(++loops % 7 == 0);
        player.setTempoPercent(100);
        invoker.runPending();
        std::this_thread::sleep_for(1ms);
    }
    const auto elapsed = Clock::now() - begin;
    ASSERT_EQ(player.state(), TPlayerState::Stopped) << "AutoStop at the end";
    EXPECT_TRUE(monotonic);
    // How soon after its 300 ms it ends is a figure of midi_player_busy_song_bench: a loaded
    // machine may delay the end, but it never plays faster than the tempo says.
    EXPECT_GE(elapsed, 295ms) << "played at 100 %";
    invoker.runPending();
    EXPECT_EQ(stops, 1);
    EXPECT_GT(events, 60);
    for (int i = 1; i < 3; ++i)
        for (int channel = 0; channel < 2; ++channel)
            for (int note = 0; note < 128; ++note)
                EXPECT_EQ(outputs.Outputs(i)->port().soundingNotes(channel, note), 0);
}
