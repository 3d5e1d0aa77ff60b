// A phone seat's sound through a real capture hub: a phone streams a tone at 48000 Hz in 20 ms
// frames stamped with their capture times, and the hub's 44100 Hz stream is read as a listening
// loop reads it, placed by the input's mark.

#include "platform/phones/phone_input.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <thread>
#include <vector>

using namespace cantorix::platform;
using Clock = PhoneInput::Clock;

namespace {

constexpr int kPhoneRate = 48000;
constexpr int kFrame = kPhoneRate / 50; // 20 ms
constexpr double kAmplitude = 12000;
constexpr double kToneHz = 440;

// The hub index of the first sample at or after from whose size passes half the tone's amplitude
// (a sine from phase 0 passes it 1/12 of a period on), or the last before from, going back.
std::int64_t loudAt(const std::vector<std::int16_t>& stream, std::int64_t from, int step) {
    for (std::int64_t i = from; i >= 0 && i < static_cast<std::int64_t>(stream.size()); i += step)
        if (std::abs(stream[static_cast<std::size_t>(i)]) > kAmplitude / 2)
            return i;
    return -1;
}

} // namespace

TEST(PhoneInputTest, PlacesAPhonesToneWhereItWasCapturedAndLostFramesAsSilence) {
    CaptureService service;
    const auto subscription = service.subscribe(std::size_t{1} << 20);
    PhoneInput input(service.hub(), "Phone 1");
    EXPECT_EQ(input.describe(), "Phone 1");
    EXPECT_FALSE(input.write(Clock::now(), std::vector<std::int16_t>(kFrame)));
    EXPECT_FALSE(input.mark([] { return 0; }));

    // The session starts; the phone's capture starts 600 ms later and its frames are sent up to
    // 600 ms ahead, so a stalled test thread delays nothing. Frames 30 to 39 are lost.
    input.startOver();
    const Clock::time_point startedOver = Clock::now();
    const auto mark = input.mark([&] { return std::int64_t(service.hub().framesDelivered()); });
    ASSERT_TRUE(mark);
    const std::int64_t startIndex = mark->capturedSamples - mark->recordingFrames;
    const Clock::time_point captureStart = startedOver + std::chrono::milliseconds{600};
    input.beginStream(kPhoneRate);
    EXPECT_FALSE(input.write(Clock::now() + std::chrono::seconds{2}, std::vector<std::int16_t>(1)));
    constexpr int kFrames = 60;
    for (int f = 0; f < kFrames; ++f) {
        const auto stamp = captureStart + std::chrono::milliseconds{20 * f};
        std::this_thread::sleep_until(stamp - std::chrono::milliseconds{600});
        std::vector<std::int16_t> frame(kFrame);
        for (int i = 0; i < kFrame; ++i)
            frame[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                std::lround(kAmplitude * std::sin(2 * std::numbers::pi * kToneHz *
                                                  (f * kFrame + i) / kPhoneRate)));
        if (f < 30 || f >= 40) {
            EXPECT_TRUE(input.write(stamp, frame));
        }
    }
    input.endStream();
    EXPECT_EQ(input.refusedFrames(), 2u);

    // Where the tone belongs: the mark ties the hub's count to the start over's moment.
    const auto indexOf = [&](double secondsAfterCaptureStart) {
        const double sinceStart =
            std::chrono::duration<double>(captureStart - startedOver).count() +
            secondsAfterCaptureStart;
        return startIndex + std::llround(sinceStart * CaptureHub::kSampleRate);
    };
    const std::int64_t end = indexOf(kFrames * 0.02) + CaptureHub::kSampleRate / 10;
    std::vector<std::int16_t> stream;
    for (int wait = 0; wait < 1000 && static_cast<std::int64_t>(stream.size()) < end; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds{10});
        std::vector<std::int16_t> chunk(subscription->available());
        chunk.resize(subscription->read(chunk.data(), chunk.size()));
        stream.insert(stream.end(), chunk.begin(), chunk.end());
    }
    ASSERT_GE(static_cast<std::int64_t>(stream.size()), end);
    EXPECT_EQ(input.lateSamples(), 0u);

    // Starts, stops for the lost frames and starts again to within a millisecond of its place
    // (a sine from phase 0 passes half its amplitude 1/12 of a period in; it is at phase 0 at
    // every 100 ms).
    constexpr double kRise = 1.0 / 12 / kToneHz;
    constexpr std::int64_t kMillisecond = CaptureHub::kSampleRate / 1000;
    EXPECT_NEAR(loudAt(stream, indexOf(-0.1), 1), indexOf(kRise), kMillisecond);
    EXPECT_NEAR(loudAt(stream, indexOf(0.7), -1), indexOf(0.6 - kRise), kMillisecond);
    EXPECT_NEAR(loudAt(stream, indexOf(0.61), 1), indexOf(0.8 + kRise), kMillisecond);
    for (std::int64_t i = indexOf(0.601); i < indexOf(0.799); ++i)
        ASSERT_EQ(stream[static_cast<std::size_t>(i)], 0) << "at " << i - indexOf(0.6);

    // At the tone's frequency: rising zero crossings over its first half second.
    std::vector<std::int64_t> rising;
    for (std::int64_t i = indexOf(0.01); i < indexOf(0.51); ++i)
        if (stream[static_cast<std::size_t>(i) - 1] < 0 && stream[static_cast<std::size_t>(i)] >= 0)
            rising.push_back(i);
    ASSERT_GT(rising.size(), 2u);
    const double hertz = static_cast<double>(rising.size() - 1) * CaptureHub::kSampleRate /
                         static_cast<double>(rising.back() - rising.front());
    EXPECT_NEAR(hertz, kToneHz, 0.5);
}
