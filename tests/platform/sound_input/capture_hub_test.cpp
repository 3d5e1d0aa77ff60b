#include "platform/sound_input/capture_hub.h"
#include "platform/sound_input/looping_ring.h"
#include "platform/sound_input/pcm_converter.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <numeric>
#include <thread>
#include <vector>

using namespace cantorix::platform;
using cantorix::base::makePcmFormat;
using cantorix::pitch::RingRegions;

namespace {

std::vector<std::int16_t> ramp(std::size_t n, std::int16_t from = 0) {
    std::vector<std::int16_t> v(n);
    std::iota(v.begin(), v.end(), from);
    return v;
}

TEST(CaptureHubTest, EverySubscriberGetsTheFramesDeliveredAfterItJoined) {
    CaptureHub hub;
    auto first = hub.subscribe(16);
    const auto frames = ramp(10);
    hub.deliver(frames.data(), 4);
    auto second = hub.subscribe(16);
    hub.deliver(frames.data() + 4, 6);

    std::vector<std::int16_t> out(16);
    EXPECT_EQ(first->read(out.data(), 16), 10u);
    EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 10), frames);
    EXPECT_EQ(second->read(out.data(), 16), 6u);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(hub.framesDelivered(), 10u);
}

TEST(CaptureHubTest, ASubscriberThatFallsBehindLosesTheNewestFramesAlone) {
    CaptureHub hub;
    auto slow = hub.subscribe(8);
    auto fast = hub.subscribe(64);
    const auto frames = ramp(20);
    hub.deliver(frames.data(), 20);
    EXPECT_EQ(slow->available(), 8u);
    EXPECT_EQ(slow->dropped(), 12u);
    EXPECT_EQ(fast->available(), 20u);
    EXPECT_EQ(fast->dropped(), 0u);
}

TEST(CaptureHubTest, SlotsAreLimitedAndFreedByTheSubscription) {
    CaptureHub hub;
    std::vector<std::unique_ptr<CaptureHub::Subscription>> all;
    for (std::size_t i = 0; i < CaptureHub::kMaxSubscribers; ++i)
        all.push_back(hub.subscribe(4));
    EXPECT_THROW(hub.subscribe(4), std::runtime_error);
    all.pop_back();
    EXPECT_NO_THROW(all.push_back(hub.subscribe(4)));
}

// The producer runs flat out on its own thread while subscribers come and go, as when the
// recorder starts and stops during capture; each subscriber must see an unbroken ramp.
TEST(CaptureHubTest, SubscribersComeAndGoWhileTheProducerRuns) {
    CaptureHub hub;
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        std::int16_t next = 0;
        std::int16_t block[64];
        while (!stop.load()) {
            for (auto& s : block)
                s = next++;
            hub.deliver(block, 64);
        }
    });
    for (int round = 0; round < 200; ++round) {
        auto subscription = hub.subscribe(1 << 16);
        std::vector<std::int16_t> got(4096);
        std::size_t n = 0;
        while (n == 0)
            n = subscription->read(got.data(), got.size());
        for (std::size_t i = 1; i < n; ++i)
            ASSERT_EQ(static_cast<std::int16_t>(got[i - 1] + 1), got[i]);
    }
    stop.store(true);
    producer.join();
}

TEST(LoopingRingTest, WritesWrapAndLocksSplitAtTheEnd) {
    LoopingRing ring(10);
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    ring.write(bytes.data(), 8);
    ring.write(bytes.data(), 5);
    EXPECT_EQ(ring.writePosition(), 3);

    RingRegions r;
    ASSERT_TRUE(ring.lock(8, 5, r));
    EXPECT_EQ(r.length1, 2);
    EXPECT_EQ(r.length2, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(r.data1, r.data1 + 2), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(std::vector<std::uint8_t>(r.data2, r.data2 + 3),
              (std::vector<std::uint8_t>{3, 4, 5}));
    ASSERT_TRUE(ring.lock(0, 3, r));
    EXPECT_EQ(r.length2, 0);
    EXPECT_EQ(r.data2, nullptr);

    EXPECT_FALSE(ring.lock(10, 1, r));
    EXPECT_FALSE(ring.lock(0, 11, r));
    EXPECT_FALSE(ring.lock(0, 0, r));
}

TEST(LoopingRingTest, AWriteLongerThanTheRingKeepsTheNewestBytes) {
    LoopingRing ring(4);
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
    ring.write(bytes.data(), 7);
    EXPECT_EQ(ring.writePosition(), 3);
    RingRegions r;
    ASSERT_TRUE(ring.lock(3, 4, r));
    EXPECT_EQ(r.data1[0], 4);
    EXPECT_EQ(r.data2[0], 5);
    EXPECT_EQ(r.data2[2], 7);
}

TEST(PcmConverterTest, SixteenBitMonoAtTheCaptureRateIsTheFramesThemselves) {
    PcmConverter converter(makePcmFormat(44100, 16, 1));
    const std::vector<std::int16_t> frames = {0, 1, -1, 0x1234};
    std::vector<std::uint8_t> out;
    converter.convert(frames.data(), frames.size(), out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 1, 0, 0xff, 0xff, 0x34, 0x12}));
}

TEST(PcmConverterTest, EightBitStereoIsUnsignedAndDoubled) {
    PcmConverter converter(makePcmFormat(44100, 8, 2));
    const std::vector<std::int16_t> frames = {0, 32767, -32768, 256};
    std::vector<std::uint8_t> out;
    converter.convert(frames.data(), frames.size(), out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{128, 128, 255, 255, 0, 0, 129, 129}));
}

TEST(PcmConverterTest, HalfTheRateKeepsThePitch) {
    PcmConverter converter(makePcmFormat(22050, 16, 2));
    std::vector<std::int16_t> tone(44100);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 441 * i / 44100.0));
    std::vector<std::uint8_t> out;
    for (std::size_t at = 0; at < tone.size(); at += 4410) // in 100 ms pieces, like a recorder
        converter.convert(tone.data() + at, 4410, out);
    // The filter holds back a few hundred frames of a live stream: about 25 ms.
    const std::size_t frames = out.size() / 4;
    EXPECT_GT(frames, 22050u - 600);
    EXPECT_LE(frames, 22050u);
    // Upward zero crossings of the left channel after the filter settled: 441 per second.
    int crossings = 0;
    auto left = [&](std::size_t f) {
        return static_cast<std::int16_t>(out[4 * f] | (out[4 * f + 1] << 8));
    };
    for (std::size_t f = 2206; f < 2206 + 11025; ++f)
        crossings += left(f - 1) < 0 && left(f) >= 0;
    EXPECT_NEAR(crossings, 220, 2);
}

TEST(PcmConverterTest, RefusesFormatsBeyondEightAndSixteenBits) {
    EXPECT_TRUE(PcmConverter::supports(makePcmFormat(96000, 16, 2)));
    EXPECT_FALSE(PcmConverter::supports(makePcmFormat(44100, 24, 1)));
    EXPECT_FALSE(PcmConverter::supports(makePcmFormat(44100, 16, 3)));
    auto inconsistent = makePcmFormat(44100, 16, 1);
    inconsistent.avgBytesPerSec = 1;
    EXPECT_FALSE(PcmConverter::supports(inconsistent));
    EXPECT_THROW(PcmConverter{makePcmFormat(44100, 32, 1)}, std::invalid_argument);
}

} // namespace
