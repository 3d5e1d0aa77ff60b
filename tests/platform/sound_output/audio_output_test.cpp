#include "platform/sound_output/audio_output.h"
#include "platform/sound_output/null_audio_output.h"
#include "platform/sound_output/portaudio_output.h"
#include "platform/sound_output/stereo_resampler.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <sstream>
#include <thread>
#include <vector>

using namespace cantorix::platform;
using Clock = std::chrono::steady_clock;

namespace {

class CountingSource : public AudioSource {
public:
    std::atomic<std::int64_t> frames{0};
    void render(float* out, std::size_t n) noexcept override {
        std::fill(out, out + n * kOutputChannels, 0.0f);
        frames.fetch_add(static_cast<std::int64_t>(n));
    }
};

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

} // namespace

TEST(NullAudioOutputTest, PullsFramesAtTheSampleRate) {
    NullAudioOutput output;
    CountingSource source;
    auto stream = output.openStream(8000, source);
    EXPECT_EQ(stream->sampleRate(), 8000);
    EXPECT_EQ(stream->latencyFrames(), 0u);

    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(source.frames.load(), 0) << "a stream is silent until it starts";

    const auto begin = Clock::now();
    stream->start();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const std::int64_t pulled = source.frames.load();
    const double expected = secondsSince(begin) * 8000;
    EXPECT_NEAR(double(pulled), expected, 0.03 * 8000) << "within 30 ms of real time";

    stream->stop();
    const std::int64_t atStop = source.frames.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(source.frames.load(), atStop) << "stop() returns after the last render";
}

TEST(NullAudioOutputTest, FixedRateOverridesTheRateAskedFor) {
    CountingSource source;
    EXPECT_EQ(NullAudioOutput().openStream(22050, source)->sampleRate(), 22050);
    EXPECT_EQ(NullAudioOutput(48000).openStream(22050, source)->sampleRate(), 48000);
    EXPECT_THROW(NullAudioOutput().openStream(0, source), EAudioOutputError);
}

TEST(ChooseAudioOutputTest, SilentOptionTakesTheNullOutputAndSaysSoOnce) {
    std::ostringstream log;
    auto output = chooseAudioOutput(true, log);
    ASSERT_NE(dynamic_cast<NullAudioOutput*>(output.get()), nullptr);
    EXPECT_EQ(log.str(), "cantorix: sound output: none (silent, real-time pace)\n");
}

// The build machines have no sound card: PortAudio lists no device there.
TEST(ChooseAudioOutputTest, FallsBackQuietlyToTheNullOutputWithoutADevice) {
    try {
        PortAudioOutput probe;
        GTEST_SKIP() << "this machine has a sound output: " << probe.name();
    } catch (const EAudioOutputError&) {
    }
    std::ostringstream log;
    testing::internal::CaptureStderr();
    auto output = chooseAudioOutput(false, log);
    const std::string noise = testing::internal::GetCapturedStderr();
    const std::string said = log.str();
    ASSERT_NE(dynamic_cast<NullAudioOutput*>(output.get()), nullptr);
    EXPECT_EQ(said.rfind("cantorix: sound output: none (silent, real-time pace): ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(noise, "") << "the host APIs' probing messages are not shown";
}

// A tone converted to another rate keeps its length and its pitch.
TEST(StereoResamplerTest, ConvertsATonePreservingLengthAndPitch) {
    constexpr int kIn = 44100, kOut = 48000;
    std::vector<float> input(kIn * 2);
    for (int i = 0; i < kIn; ++i)
        input[2 * i] = input[2 * i + 1] =
            static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440.0 * i / kIn));
    StereoResampler resampler(kIn, kOut);
    std::vector<float> output;
    std::vector<float> block(1000 * 2);
    std::size_t used = 0;
    for (;;) {
        const bool ended = used == kIn;
        const auto step =
            resampler.process(ended ? nullptr : &input[used * 2], kIn - used, block.data(), 1000);
        used += step.used;
        output.insert(output.end(), block.begin(), block.begin() + long(step.produced * 2));
        if (ended && step.produced == 0)
            break;
    }
    const std::size_t frames = output.size() / 2;
    EXPECT_NEAR(double(frames), kOut, 2);
    int crossings = 0;
    for (std::size_t i = 1000; i + 1000 < frames; ++i)
        crossings += (output[2 * i - 2] < 0) != (output[2 * i] < 0);
    const double seconds = double(frames - 2000) / kOut;
    EXPECT_NEAR(crossings / seconds / 2, 440.0, 2.0);
    for (std::size_t i = 0; i < frames; ++i)
        ASSERT_EQ(output[2 * i], output[2 * i + 1]) << "channels stay apart and equal here";
}
