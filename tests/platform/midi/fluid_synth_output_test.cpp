#include "fakes/manual_main_thread.h"
#include "fakes/manual_midi_timer.h"
#include "midi/midi_bytes.h"
#include "midi/midi_player.h"
#include "platform/midi/fluid_synth_output.h"
#include "platform/midi/midi_timer_thread.h"
#include "platform/midi/system_midi_outputs.h"
#include "platform/sound_output/null_audio_output.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace cantorix::platform;
using namespace std::chrono_literals;

namespace {

// The silent real-time output with a tap that measures what the synthesizer renders.
class MeasuredNullOutput : public AudioOutput, private AudioSource {
public:
    std::string name() const override { return m_null.name(); }
    std::unique_ptr<AudioStream> openStream(int sampleRate, AudioSource& source) override {
        m_source = &source;
        auto stream = m_null.openStream(sampleRate, *this);
        m_rate = stream->sampleRate();
        return stream;
    }

    float peak() const { return m_peak.load(); }
    std::int64_t frames() const { return m_frames.load(); }
    int rate() const { return m_rate; }
    void resetPeak() { m_peak.store(0); }

    // Waits up to `timeout` for the peak to pass `level`.
    bool waitForPeak(float level, std::chrono::milliseconds timeout) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (peak() > level)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

private:
    void render(float* out, std::size_t frames) noexcept override {
        m_source->render(out, frames);
        float peak = m_peak.load();
        for (std::size_t i = 0; i < frames * kOutputChannels; ++i)
            peak = std::max(peak, std::fabs(out[i]));
        m_peak.store(peak);
        m_frames.fetch_add(static_cast<std::int64_t>(frames));
    }

    NullAudioOutput m_null;
    AudioSource* m_source = nullptr;
    int m_rate = 0;
    std::atomic<float> m_peak{0};
    std::atomic<std::int64_t> m_frames{0};
};

// An output that has nearly stalled: its device thread renders one short block a second.
class SluggishOutput : public AudioOutput {
public:
    std::string name() const override { return "sluggish"; }
    std::unique_ptr<AudioStream> openStream(int sampleRate, AudioSource& source) override {
        return std::make_unique<Stream>(sampleRate, source);
    }

private:
    class Stream : public AudioStream {
    public:
        Stream(int rate, AudioSource& source) : m_rate(rate), m_source(source) {}
        ~Stream() override { stop(); }
        void start() override {
            m_thread = std::thread([this] {
                std::array<float, 64 * kOutputChannels> block;
                std::unique_lock lock(m_mutex);
                while (!m_stopping) {
                    m_source.render(block.data(), 64);
                    m_wake.wait_for(lock, 1s, [this] { return m_stopping; });
                }
            });
        }
        void stop() override {
            {
                std::lock_guard lock(m_mutex);
                m_stopping = true;
            }
            m_wake.notify_all();
            if (m_thread.joinable())
                m_thread.join();
        }
        int sampleRate() const override { return m_rate; }
        std::size_t latencyFrames() const override { return 0; }

    private:
        int m_rate;
        AudioSource& m_source;
        std::thread m_thread;
        std::mutex m_mutex;
        std::condition_variable m_wake;
        bool m_stopping = false;
    };
};

} // namespace

TEST(FluidSynthOutputTest, PlaysANoteThroughTheNullOutput) {
    const auto soundFont = findGeneralMidiSoundFont();
    ASSERT_FALSE(soundFont.empty()) << "a General MIDI SoundFont is installed";
    MeasuredNullOutput output;
    FluidSynthOutput synth(output, soundFont);
    EXPECT_EQ(output.rate(), FluidSynthOutput::kSampleRate);

    std::this_thread::sleep_for(60ms);
    EXPECT_GT(output.frames(), 0) << "the stream runs from the start";
    EXPECT_LT(output.peak(), 0.001f) << "silent before any note";

    synth.sendShortMessage(0x0000C0); // program 0 on channel 0
    synth.sendShortMessage(0x7F3C90); // middle C, full velocity
    EXPECT_TRUE(output.waitForPeak(0.01f, 1000ms)) << "the note sounds";

    synth.sendShortMessage(0x003C80);
    synth.reset();
    std::this_thread::sleep_for(1500ms); // the release tail of the piano
    output.resetPeak();
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(output.peak(), 0.001f) << "ended";
}

TEST(FluidSynthOutputTest, MissingSoundFontIsRefused) {
    MeasuredNullOutput output;
    EXPECT_THROW(FluidSynthOutput(output, "/nonexistent/none.sf2"), ESynthesizerError);
    EXPECT_THROW(FluidSynthOutput(output, ""), ESynthesizerError);
}

TEST(SystemMidiOutputsTest, DeviceZeroIsTheSynthesizerAndMissingDevicesCannotOpen) {
    MeasuredNullOutput output;
    SystemMidiOutputs devices(output);
    const std::vector<std::string> names = devices.names();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names, listMidiOutputDevices());
    EXPECT_NE(devices.open(0), nullptr);
    EXPECT_EQ(devices.open(static_cast<int>(names.size())), nullptr);
    EXPECT_EQ(devices.open(-1), nullptr);

    cantorix::midi::PhysicalPortRegistry registry(devices);
    cantorix::midi::TMidiOutputPort port(registry);
    port.setPortId(static_cast<int>(names.size()));
    try {
        port.setActive(true);
        FAIL() << "no exception";
    } catch (const cantorix::midi::EMidiOutputPort& error) {
        EXPECT_STREQ(error.what(), "Unable to open port");
    }
}

TEST(SystemMidiOutputsTest, PlayerSoundsThroughTheBuiltInSynthesizer) {
    using namespace cantorix::midi;
    MeasuredNullOutput output;
    SystemMidiOutputs devices(output);
    PhysicalPortRegistry registry(devices);
    MidiTimerThread timer;
    cantorix::pitch::testing::ManualInvoker invoker;
    TMidiData data;
    // A 300 ms middle C at PPQN 96 and 96 ms per quarter note.
    const test::Bytes bytes =
        test::midiFile({test::TrackBody().tempo(0, 96000).end(300), test::TrackBody()
                                                                        .event(0, {0xC0, 0})
                                                                        .event(0, {0x90, 60, 110})
                                                                        .event(300, {0x80, 60, 0})
                                                                        .end()});
    data.load(bytes, "c.mid");
    TTrackOutputs outputs(registry, &invoker);
    outputs.setMidiData(&data);
    outputs.setActive(true);
    TMidiPlayer player(registry, timer, invoker);
    player.setTrackOutputs(&outputs);
    std::this_thread::sleep_for(50ms);
    EXPECT_LT(output.peak(), 0.001f);
    player.setPlay(true);
    EXPECT_TRUE(output.waitForPeak(0.01f, 1000ms));
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (player.state() != TPlayerState::Stopped && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(player.state(), TPlayerState::Stopped);
    EXPECT_GE(player.Position(), 300);
}

TEST(SystemMidiOutputsTest, ABurstOfEventsNeverHoldsUpTheWindowThread) {
    using namespace cantorix::midi;
    SluggishOutput output;
    SystemMidiOutputs devices(output);
    PhysicalPortRegistry registry(devices);
    cantorix::midi::testing::ManualMidiTimer timer;
    cantorix::pitch::testing::ManualInvoker invoker;
    // 30,000 note-ons at tick 1, far more than the synthesizer takes in one block.
    test::TrackBody burst;
    for (int i = 0; i < 30000; ++i)
        burst.event(i == 0 ? 1 : 0, {0x90, static_cast<std::uint8_t>(i % 128), 100});
    const test::Bytes bytes =
        test::midiFile({test::TrackBody().tempo(0, 96000).end(), burst.end(500)});
    TMidiData data;
    data.load(bytes, "burst.mid");
    TTrackOutputs outputs(registry, &invoker);
    outputs.setMidiData(&data);
    outputs.setActive(true);
    TMidiPlayer player(registry, timer, invoker);
    player.setTrackOutputs(&outputs);
    player.Rebind();
    player.Rewind();
    player.setPlay(true);

    // The tick sends the burst on a thread of its own while this thread polls the position.
    std::atomic<bool> sent{false};
    std::thread tick([&] {
        timer.tick(4);
        sent = true;
    });
    auto slowestPoll = std::chrono::steady_clock::duration::zero();
    do {
        const auto begin = std::chrono::steady_clock::now();
        (void)player.Position();
        slowestPoll = std::max(slowestPoll, std::chrono::steady_clock::now() - begin);
    } while (!sent);
    tick.join();
    // Waiting for the synthesizer would take most of a second; the margin is for a busy machine.
    EXPECT_LT(slowestPoll, 100ms);
    EXPECT_EQ(player.Position(), 4);
    EXPECT_EQ(outputs.Outputs(1)->port().soundingNotes(0, 0), 235);

    // Ending 30,000 notes from the window thread does not wait for the synthesizer either,
    // once it has taken in the burst and gone back to sleep.
    std::this_thread::sleep_for(50ms);
    const auto begin = std::chrono::steady_clock::now();
    player.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 100ms);
    EXPECT_EQ(outputs.Outputs(1)->port().soundingNotes(0, 0), 0);
}
