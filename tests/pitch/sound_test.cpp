#include "fakes/fake_capture_device.h"
#include "fakes/manual_main_thread.h"
#include "pitch/capture_stream.h"
#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"
#include "pitch/tone.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <vector>

using namespace cantorix::pitch;

namespace {

constexpr std::size_t kBurstBytes = 4410; // one 50 ms notification

// peak · sin(2π · hz · t) at 44100 Hz as 16-bit little-endian PCM.
std::vector<std::uint8_t> sine(double hz, double peak, std::size_t samples) {
    std::vector<std::uint8_t> pcm;
    for (std::size_t n = 0; n < samples; ++n) {
        const auto v = static_cast<std::int16_t>(std::lround(
            peak * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n) / 44100)));
        pcm.push_back(static_cast<std::uint8_t>(v & 0xFF));
        pcm.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    return pcm;
}

// Bytes whose position is visible in every 16-bit word: word j is (j mod 30000) − 15000.
std::vector<std::uint8_t> countingWords(std::size_t words, std::size_t firstWord = 0) {
    std::vector<std::uint8_t> pcm;
    for (std::size_t j = firstWord; j < firstWord + words; ++j) {
        const auto v = static_cast<std::int16_t>(static_cast<int>(j % 30000) - 15000);
        pcm.push_back(static_cast<std::uint8_t>(v & 0xFF));
        pcm.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    return pcm;
}

float countingWord(std::size_t j) {
    return static_cast<float>(static_cast<int>(j % 30000) - 15000);
}

class SoundTest : public ::testing::Test {
protected:
    std::unique_ptr<TSound> sound = std::make_unique<TSound>();
    MemoryWaveStream stream;

    void capture(const std::vector<std::uint8_t>& bytes) {
        stream.append(bytes.data(), bytes.size());
        sound->OnSoundCaptured(stream);
    }
    // Delivers the bytes in notifications of 4410 bytes, the last one possibly shorter.
    void captureInBursts(const std::vector<std::uint8_t>& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += kBurstBytes) {
            const std::size_t n = std::min(kBurstBytes, bytes.size() - at);
            stream.append(bytes.data() + at, n);
            sound->OnSoundCaptured(stream);
        }
    }
    std::int32_t detect(double hz, double peak) {
        captureInBursts(sine(hz, peak, 3 * 2205));
        sound->Analyse();
        return sound->detectedBin();
    }
};

TEST_F(SoundTest, CleanTonesAreReportedTwoIndicesAboveTheirCandidate) {
    EXPECT_EQ(detect(220, 8000), 22);
    EXPECT_EQ(sound->sungValue(), 21);
    EXPECT_EQ(detect(440, 8000), 43);
    EXPECT_EQ(detect(130.81, 8000), 14);
}

TEST_F(SoundTest, QuietInputKeepsTheFixedGain) {
    EXPECT_EQ(detect(220, 300), 0) << "the fundamental stays under 3.0";
    EXPECT_DOUBLE_EQ(sound->normalisationFactor(), 0.002);
    EXPECT_EQ(sound->sungValue(), kSilenceSungValue);

    EXPECT_EQ(detect(220, 650), 22) << "under the floor, yet above the threshold";
    EXPECT_DOUBLE_EQ(sound->normalisationFactor(), 0.002);
}

TEST_F(SoundTest, LoudInputHasItsPeakScaledToTen) {
    detect(220, 8000);
    EXPECT_LT(sound->normalisationFactor(), 0.002);
    float peak = 0;
    for (std::int32_t k = 1; k < kSamplesPerBlock; ++k)
        peak = std::max(peak, sound->spectrum()[static_cast<std::size_t>(k)]);
    EXPECT_FLOAT_EQ(peak, 10.0f);
}

TEST_F(SoundTest, SilenceAndNoCaptureYieldNothing) {
    sound->Analyse();
    EXPECT_EQ(sound->sampleCount(), 0);
    EXPECT_EQ(sound->detectedBin(), 0);
    EXPECT_EQ(sound->sungValue(), 255);

    captureInBursts(std::vector<std::uint8_t>(3 * kBurstBytes, 0));
    sound->Analyse();
    EXPECT_EQ(sound->sampleCount(), kSamplesPerBlock);
    EXPECT_EQ(sound->detectedBin(), 0);
}

TEST_F(SoundTest, AnalysingTheSameBlockAgainGivesTheSameSpectrum) {
    detect(311.0, 5000);
    const std::vector<float> first(sound->spectrum().begin(), sound->spectrum().begin() + 400);
    const std::int32_t bin = sound->detectedBin();
    sound->Analyse();
    EXPECT_EQ(sound->detectedBin(), bin);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), sound->spectrum().begin()));
}

// One block that is silent but for the word at offset `word`.
std::vector<std::uint8_t> impulseBlock(std::size_t word, std::int16_t value) {
    std::vector<std::uint8_t> block(8192, 0);
    block[2 * word] = static_cast<std::uint8_t>(value & 0xFF);
    block[2 * word + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    return block;
}

TEST_F(SoundTest, AnImpulseSpreadsAsARunningMeanFromTheRemovedDC) {
    // Samples[2048] = 5000 at full weight: every bin has magnitude 5000 / 10 / 50 = 10, and the
    // fixed gain makes that 0.02.
    capture(impulseBlock(2047, 2500));
    sound->Analyse();
    const auto s = sound->spectrum();
    const float c = 0.02f;
    EXPECT_EQ(s[1], 0.0f);
    EXPECT_FLOAT_EQ(s[2], c / 3);     // (0 + 0 + c) / 3: bin 0 removed
    EXPECT_FLOAT_EQ(s[3], c * 7 / 9); // (c/3 + c + c) / 3: the left value already smoothed
    EXPECT_FLOAT_EQ(s[4], c * 25 / 27);
    EXPECT_FLOAT_EQ(s[1000], c);
    EXPECT_FLOAT_EQ(s[2049], (c + c + 0) / 3); // the last bin, before the untouched index 2050
    EXPECT_EQ(sound->detectedBin(), 0);
}

TEST_F(SoundTest, TheTransformBeginsAtTheSecondSample) {
    capture(impulseBlock(0, 32767)); // only Samples[1], which the transform never reads
    ASSERT_GT(sound->sample(1), 0.0f);
    sound->Analyse();
    for (std::int32_t k = 1; k <= kAnalysisArrayLength; ++k)
        ASSERT_EQ(sound->spectrum()[static_cast<std::size_t>(k)], 0.0f) << k;
}

TEST_F(SoundTest, TrimsOnlyFromOneHundredThousandBytes) {
    capture(countingWords(49999));
    capture({0x01}); // 99999 bytes
    EXPECT_EQ(sound->captureBuffer().size(), 99999u);

    capture({0x02}); // 100000 bytes: the newest 16384 stay
    ASSERT_EQ(sound->captureBuffer().size(), 16384u);
    const std::vector<std::uint8_t> words = countingWords(49999);
    EXPECT_EQ(sound->captureBuffer().back(), 0x02);
    EXPECT_EQ(sound->captureBuffer()[16384 - 2], 0x01);
    EXPECT_TRUE(std::equal(words.end() - 16382, words.end(), sound->captureBuffer().begin()));
}

TEST_F(SoundTest, DecodesTheNewestBlockAfterATrim) {
    // The 23rd notification takes the store to 101430 bytes, and the trim comes before its decode.
    captureInBursts(countingWords(23 * 2205));
    ASSERT_EQ(sound->captureBuffer().size(), 16384u);
    // Sample i is word 50715 − 4096 + i − 1, doubled and windowed.
    const std::size_t firstWord = 23 * 2205 - 4096;
    EXPECT_FLOAT_EQ(sound->sample(1), 2 * countingWord(firstWord) / 2048);
    EXPECT_FLOAT_EQ(sound->sample(1024), countingWord(firstWord + 1023));
    EXPECT_FLOAT_EQ(sound->sample(2048), 2 * countingWord(firstWord + 2047));
    EXPECT_FLOAT_EQ(sound->sample(3072), countingWord(firstWord + 3071));
    EXPECT_FLOAT_EQ(sound->sample(4095), 2 * countingWord(firstWord + 4094) / 2048);
    EXPECT_EQ(sound->sample(4096), 0.0f);
}

TEST_F(SoundTest, BytesBeforeTheFirstCaptureReadAsSilence) {
    capture(countingWords(2205));
    // The block's first 4096 − 2205 samples lie before the first byte.
    for (std::int32_t i = 1; i <= 4096 - 2205; ++i)
        ASSERT_EQ(sound->sample(i), 0.0f) << i;
    EXPECT_FLOAT_EQ(sound->sample(1892), 2 * countingWord(0) * 1892 / 2048);
    EXPECT_FLOAT_EQ(sound->sample(3072), countingWord(3072 - 1892));

    sound->Analyse();
    EXPECT_EQ(sound->sampleCount(), kSamplesPerBlock);
}

TEST_F(SoundTest, SamplesOutsideTheBlockStayZero) {
    captureInBursts(sine(220, 30000, 3 * 2205));
    EXPECT_EQ(sound->sample(0), 0.0f); // the oscilloscope's first bar
    EXPECT_NE(sound->sample(2048), 0.0f);
    for (std::int32_t i = 4096; i <= kAnalysisArrayLength + 1; ++i)
        ASSERT_EQ(sound->sample(i), 0.0f) << i;
}

// A stream whose read fails, as a capture stream can when its device goes.
class FailingStream : public TCustomWaveStream {
public:
    std::int32_t filledSize() override { return 4410; }

protected:
    std::int32_t readWaveData(void*, std::int32_t) override {
        throw std::runtime_error("device gone");
    }
};

TEST_F(SoundTest, AFailedReadLeavesTheStoreAsItWas) {
    capture(countingWords(100));
    FailingStream failing;
    EXPECT_THROW(sound->OnSoundCaptured(failing), std::runtime_error);
    EXPECT_EQ(sound->captureBuffer().size(), 200u);
}

TEST(SoundCaptureTest, ReceivesTheCaptureStreamsNotifications) {
    cantorix::pitch::testing::FakeCaptureDevice device;
    cantorix::pitch::testing::ManualInvoker invoker;
    cantorix::pitch::testing::ManualNotifyClock clock;
    TSoundCaptureStream stream(
        device, invoker, [](const std::exception&) {}, clock.factory());
    auto sound = std::make_unique<TSound>();
    sound->setCaptureStream(&stream);
    stream.setCaptureFormat(18);
    stream.setBufferLength(512);
    stream.setOnFilledBuffer(TFilledBufferEvent::of<&TSound::OnSoundCaptured>(*sound));
    stream.start();

    const std::vector<std::uint8_t> tone = sine(440, 8000, 3 * 2205);
    for (std::size_t at = 0; at < tone.size(); at += kBurstBytes) {
        for (std::size_t j = at; j < at + kBurstBytes; ++j) {
            device.ring->bytes[static_cast<std::size_t>(device.ring->write)] = tone[j];
            device.ring->write = (device.ring->write + 1) % device.ring->size();
        }
        clock.elapse();
        ASSERT_TRUE(invoker.runNext());
    }
    EXPECT_EQ(sound->captureBuffer().size(), tone.size());
    sound->Analyse();
    EXPECT_EQ(sound->detectedBin(), 43);
    stream.stop();
}

TEST(FindPitchTest, CandidateFundamentalsMatchThePitchTable) {
    const std::int32_t expected[] = {11, 11, 12, 13, 14, 14, 15, 16, 17, 18, 19, 20, 22, 23,
                                     24, 26, 27, 29, 31, 32, 34, 36, 39, 41, 43, 46, 49};
    for (int i = kFirstCandidate; i <= kLastCandidate; ++i)
        EXPECT_EQ(candidateBins(i, 4096).b1, expected[i - kFirstCandidate]) << "candidate " << i;
    const CandidateBins b = candidateBins(21, 4096); // 220.01 Hz: 20.43 indices
    EXPECT_EQ(b.b2, 41);
    EXPECT_EQ(b.b3, 61);
    EXPECT_EQ(b.b4, 82);
}

TEST(FindPitchTest, EqualScoresGoToTheLowerCandidate) {
    AnalysisArray spectrum{};
    // Candidates 12 (indices 12, 24, 36, 49) and 20 (19, 39, 58, 77) share no index.
    spectrum[12] = 4.0f;
    spectrum[36] = 0.5f;
    spectrum[19] = 4.0f;
    spectrum[58] = 0.5f;
    EXPECT_EQ(FindPitch(spectrum, 4096), 12);
    spectrum[77] = 0.0001f;
    EXPECT_EQ(FindPitch(spectrum, 4096), 19);
}

TEST(FindPitchTest, TheFundamentalMustReachThree) {
    AnalysisArray spectrum{};
    spectrum[26] = 2.99f;
    spectrum[51] = spectrum[77] = spectrum[103] = 100.0f; // candidate 25's other harmonics
    EXPECT_EQ(FindPitch(spectrum, 4096), 0);
    spectrum[26] = 3.0f;
    EXPECT_EQ(FindPitch(spectrum, 4096), 26);
}

TEST(FindPitchTest, WithoutABlockEveryCandidateReadsIndexZero) {
    AnalysisArray spectrum{};
    spectrum[0] = 100.0f;
    spectrum[1] = 100.0f;
    EXPECT_EQ(FindPitch(spectrum, 0), 0);
}

TEST(SungValueTest, IsTheDetectedBinMinusOneAsAByte) {
    EXPECT_EQ(sungValueOf(0), 255);
    EXPECT_EQ(sungValueOf(11), 10);
    EXPECT_EQ(sungValueOf(49), 48);
    EXPECT_EQ(sungValueOf(257), 0);
}

TEST(SungValueTest, EveryPossibleValueHasATone) {
    const std::vector<std::uint8_t> expected = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22, 23,
                                                25, 26, 28, 30, 31, 33, 35, 38, 40, 42, 45, 48};
    ASSERT_EQ(possibleSungValues(), expected);
    for (const std::uint8_t value : expected)
        EXPECT_EQ(sungValueOfTone(toneFrequencyOfSungValue(value)), value)
            << toneFrequencyOfSungValue(value) << " Hz";
    EXPECT_EQ(sungValueOfTone(220.01), 21) << "candidate 21, whose own index is 20";
    EXPECT_EQ(sungValueOfTone(60.0), kSilenceSungValue);
    EXPECT_EQ(sungValueOfTone(600.0), kSilenceSungValue);
}

} // namespace
