#include "fakes/fake_capture_device.h"
#include "fakes/manual_main_thread.h"
#include "pitch/capture_errors.h"
#include "pitch/capture_stream.h"

#include <gtest/gtest.h>
#include <vector>

using namespace cantorix::pitch;
using cantorix::pitch::testing::FakeCaptureDevice;
using cantorix::pitch::testing::ManualInvoker;

namespace {

constexpr std::int32_t kMono16At44100 = 18;
constexpr std::int32_t kMono8At44100 = 16;

class CaptureStreamTest : public ::testing::Test {
protected:
    FakeCaptureDevice device;
    ManualInvoker invoker;
    std::vector<std::string> reported;

    std::unique_ptr<TSoundCaptureStream> makeStream() {
        auto stream = std::make_unique<TSoundCaptureStream>(
            device, invoker, [this](const std::exception& e) { reported.push_back(e.what()); });
        stream->setSleep([](std::int32_t) { FAIL() << "read waited without a reason"; });
        return stream;
    }

    // The game's set-up: entry 18, 512 ms.
    std::unique_ptr<TSoundCaptureStream> startedStream(std::int32_t format = kMono16At44100) {
        auto stream = makeStream();
        stream->setCaptureFormat(format);
        stream->setBufferLength(512);
        stream->start();
        return stream;
    }

    std::vector<std::uint8_t> read(TSoundCaptureStream& stream, std::int32_t count) {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(count), 0xEE);
        EXPECT_EQ(stream.read(out.data(), count), count);
        return out;
    }
};

TEST_F(CaptureStreamTest, AsksForAllFiftySixFormatsInOrderWithOneSecondRings) {
    auto stream = makeStream();
    ASSERT_EQ(device.requests.size(), 56u);
    const auto& first = device.requests.front().first;
    EXPECT_EQ(first, makePcmFormat(8000, 8, 1));
    EXPECT_EQ(device.requests[1].first, makePcmFormat(8000, 8, 2));
    EXPECT_EQ(device.requests[2].first, makePcmFormat(8000, 16, 1));
    EXPECT_EQ(device.requests[8].first, makePcmFormat(11025, 8, 1));
    EXPECT_EQ(device.requests.back().first, makePcmFormat(96000, 32, 2));
    for (const auto& [format, bytes] : device.requests)
        EXPECT_EQ(bytes, static_cast<std::int32_t>(format.avgBytesPerSec));
    EXPECT_TRUE(device.ring->released); // test rings go at once
}

TEST_F(CaptureStreamTest, EntryEighteenIs44100HzSixteenBitMono) {
    auto stream = makeStream();
    ASSERT_EQ(stream->supportedFormats().count(), 28);
    EXPECT_EQ(stream->supportedFormats().items(kMono16At44100),
              (TSoundCaptureFormat{16, 1, 44100}));
    EXPECT_EQ(stream->supportedFormats().items(kMono8At44100), (TSoundCaptureFormat{8, 1, 44100}));
    EXPECT_EQ(stream->bufferLength(), 1000);
}

TEST_F(CaptureStreamTest, GameSettingsGiveA45158ByteRingAndTheFormatRecord) {
    auto stream = startedStream();
    EXPECT_TRUE(stream->capturing());
    EXPECT_EQ(stream->ringSize(), 45158);
    EXPECT_EQ(device.requests.back().second, 45158);
    EXPECT_EQ(device.requests.back().first, makePcmFormat(44100, 16, 1));
    EXPECT_TRUE(device.ring->started);
    ASSERT_EQ(stream->formatSize(), 18);
    const std::vector<std::uint8_t> record(stream->formatRecord(), stream->formatRecord() + 18);
    EXPECT_EQ(record, (std::vector<std::uint8_t>{1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0,
                                                 2, 0, 16, 0, 0, 0}));
}

TEST_F(CaptureStreamTest, BufferLengthIsNeverNegativeAndSetsTheNotifyWait) {
    auto stream = makeStream();
    stream->setBufferLength(-20);
    EXPECT_EQ(stream->bufferLength(), 0);
    EXPECT_EQ(stream->notifyWaitMs(), 0);
    stream->setCaptureFormat(kMono16At44100);
    stream->start();
    EXPECT_EQ(stream->ringSize(), 8000); // the floor
    stream->setBufferLength(199);
    EXPECT_EQ(stream->notifyWaitMs(), 49);
    stream->setBufferLength(200);
    EXPECT_EQ(stream->notifyWaitMs(), 50);
    stream->setBufferLength(512);
    EXPECT_EQ(stream->notifyWaitMs(), 50);
}

TEST_F(CaptureStreamTest, DeviceWithEighteenFormatsFailsAtStartWithTheIndexError) {
    device.accepts = [](const TWaveFormat& f) { return f.bitsPerSample == 16; };
    auto stream = makeStream();
    ASSERT_EQ(stream->supportedFormats().count(), 14);
    stream->setCaptureFormat(kMono16At44100);
    try {
        stream->start();
        FAIL() << "start succeeded";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (18)");
    }
    EXPECT_FALSE(stream->capturing());
    EXPECT_EQ(stream->filledSize(), 0);
}

TEST_F(CaptureStreamTest, RingThatCannotBeMadeFailsAtStartAndLeavesTheCaptureStopped) {
    auto stream = makeStream();
    device.failRings = true;
    stream->setCaptureFormat(kMono16At44100);
    try {
        stream->start();
        FAIL() << "start succeeded";
    } catch (const ESoundCaptureStreamError& e) {
        EXPECT_STREQ(e.what(), "Sound Capture Buffer cannot be made");
    }
    EXPECT_FALSE(stream->capturing());
}

TEST_F(CaptureStreamTest, ReadDeliversCapturedBytesInOrderAndCountsPosition) {
    auto stream = startedStream();
    device.ring->produce(1000);
    EXPECT_EQ(stream->filledSize(), 1000);
    const auto bytes = read(*stream, 600);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[599], static_cast<std::uint8_t>(599));
    EXPECT_EQ(stream->filledSize(), 400);
    EXPECT_EQ(stream->position(), 600);
    EXPECT_EQ(device.ring->unlocks, 1);
}

TEST_F(CaptureStreamTest, FilledSizeAndReadAcrossTheWrap) {
    auto stream = startedStream();
    device.ring->produce(45000);
    read(*stream, 45000);
    device.ring->produce(1000); // the device position wraps to 842, below the cursor
    EXPECT_EQ(device.ring->write, 842);
    EXPECT_EQ(stream->filledSize(), 45158 + 842 - 45000);

    const auto bytes = read(*stream, 1000);
    EXPECT_EQ(device.ring->lastLock.length1, 158);
    EXPECT_EQ(device.ring->lastLock.length2, 842);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], static_cast<std::uint8_t>(45000 + i)) << i;
    EXPECT_EQ(stream->filledSize(), 0);
    EXPECT_EQ(stream->position(), 46000);
}

TEST_F(CaptureStreamTest, OverrunIsMeasuredModuloTheRing) {
    auto stream = startedStream();
    device.ring->produce(45158 + 10);
    EXPECT_EQ(stream->filledSize(), 10);
}

TEST_F(CaptureStreamTest, FailedLockFillsTheRestWithSilenceOfTheFormat) {
    auto stream16 = startedStream();
    device.ring->produce(100);
    device.ring->failLock = true;
    EXPECT_EQ(read(*stream16, 64), std::vector<std::uint8_t>(64, 0));
    EXPECT_EQ(stream16->position(), 64);

    auto stream8 = startedStream(kMono8At44100);
    device.ring->produce(100);
    device.ring->failLock = true;
    EXPECT_EQ(read(*stream8, 64), std::vector<std::uint8_t>(64, 128));
}

TEST_F(CaptureStreamTest, FailedPositionQueryMeansNothingWaits) {
    auto stream = startedStream();
    device.ring->produce(100);
    device.ring->failPosition = true;
    EXPECT_EQ(stream->filledSize(), 0);
}

TEST_F(CaptureStreamTest, ReadWaitsInFiftyMillisecondStepsUntilTheBytesArrive) {
    auto stream = startedStream();
    std::vector<std::int32_t> sleeps;
    stream->setSleep([&](std::int32_t ms) {
        sleeps.push_back(ms);
        device.ring->produce(300);
    });
    device.ring->produce(100);
    const auto bytes = read(*stream, 700);
    EXPECT_EQ(sleeps, (std::vector<std::int32_t>{50, 50}));
    EXPECT_EQ(bytes[699], static_cast<std::uint8_t>(699));
    EXPECT_EQ(stream->filledSize(), 0);
}

TEST_F(CaptureStreamTest, ReadStartsAStoppedStreamAndStopReleasesTheRing) {
    auto stream = makeStream();
    stream->setCaptureFormat(kMono16At44100);
    stream->setSleep([&](std::int32_t) { device.ring->produce(2); });
    read(*stream, 2);
    EXPECT_TRUE(stream->capturing());
    auto ring = device.ring;
    stream->stop();
    EXPECT_TRUE(ring->stopped);
    EXPECT_TRUE(ring->released);
    EXPECT_FALSE(stream->capturing());
    stream->stop(); // a second stop does nothing
}

// The sample the fake device's bytes g and g + 1 make (it captures byte n as n mod 256).
std::int16_t capturedSample(std::int64_t g) {
    return static_cast<std::int16_t>((g % 256) | ((g + 1) % 256) << 8);
}

TEST_F(CaptureStreamTest, PeekGivesTheNewestSamplesAcrossWrapsWithoutConsumingThem) {
    auto stream = startedStream();
    std::int64_t captured = 0;
    std::int32_t unread = 0;
    // Bursts of a notification's size, odd sizes and nearly a whole ring, wrapping several times.
    for (const std::int32_t burst : {1000, 4410, 7, 45000, 4410, 30001, 999, 44000, 4410}) {
        device.ring->produce(burst);
        captured += burst;
        unread = (unread + burst) % 45158; // an overrun is measured modulo the ring
        std::vector<std::int16_t> newest(2048, 0x5555);
        const std::int32_t got = stream->peekNewest(newest);
        const std::int64_t have = std::min<std::int64_t>(captured / 2, 2048);
        ASSERT_EQ(got, have) << "after " << captured;
        for (std::int64_t i = 0; i < 2048; ++i) {
            const std::int64_t back = 2048 - i; // samples before the read position
            const std::int16_t expected = back > have ? 0 : capturedSample(captured - 2 * back);
            ASSERT_EQ(newest[static_cast<std::size_t>(i)], expected) << captured << " " << i;
        }
        // The consuming side sees every byte still waiting, as if nothing had been looked at.
        ASSERT_EQ(stream->filledSize(), unread);
        if (burst == 4410) {
            read(*stream, unread);
            unread = 0;
        }
    }
}

TEST_F(CaptureStreamTest, PeekOfMoreThanTheRingHoldsIsSilenceBeforeTheWholeRing) {
    auto stream = makeStream();
    stream->setCaptureFormat(kMono16At44100);
    stream->setBufferLength(0); // the smallest ring: 8000 bytes, 4000 samples
    stream->start();
    device.ring->produce(6000);
    std::vector<std::int16_t> newest(5000);
    EXPECT_EQ(stream->peekNewest(newest), 3000);
    device.ring->produce(6000);
    EXPECT_EQ(stream->peekNewest(newest), 4000);
    EXPECT_EQ(newest[999], 0);
    EXPECT_EQ(newest[1000], capturedSample(12000 - 8000));
    EXPECT_EQ(newest[4999], capturedSample(12000 - 2));
}

TEST_F(CaptureStreamTest, PeekThatCannotReachTheRingIsAllSilence) {
    auto stream = startedStream();
    device.ring->produce(5000);
    std::vector<std::int16_t> newest(2048, 0x5555);
    const std::vector<std::int16_t> silence(2048, 0);
    device.ring->failPosition = true;
    EXPECT_EQ(stream->peekNewest(newest), 0);
    EXPECT_EQ(newest, silence);
    device.ring->failPosition = false;
    device.ring->failLock = true;
    newest.assign(2048, 0x5555);
    EXPECT_EQ(stream->peekNewest(newest), 0);
    EXPECT_EQ(newest, silence);
    device.ring->failLock = false;
    stream->stop();
    newest.assign(2048, 0x5555);
    EXPECT_EQ(stream->peekNewest(newest), 0);
    EXPECT_EQ(newest, silence);
    EXPECT_FALSE(stream->capturing()); // a peek never starts the capture
}

TEST(CaptureFormatTest, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(mulDiv(88200, 512, 1000), 45158);
    EXPECT_EQ(mulDiv(5, 1, 2), 3);
    EXPECT_EQ(mulDiv(-5, 1, 2), -3);
    EXPECT_EQ(mulDiv(7, 1, 0), -1);
    EXPECT_EQ(mulDiv(0x7fffffff, 4, 1), -1);
}

} // namespace
