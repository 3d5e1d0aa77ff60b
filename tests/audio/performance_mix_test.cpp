#include "audio/performance_mix.h"

#include <gtest/gtest.h>
#include <string>

using namespace cantorix::audio;

namespace {

// A file of headerSize marker bytes followed by the samples.
std::vector<std::uint8_t> waveFile(std::size_t headerSize, std::vector<std::int16_t> samples,
                                   std::uint8_t marker) {
    std::vector<std::uint8_t> file(headerSize, marker);
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        file.push_back(static_cast<std::uint8_t>(u & 0xFF));
        file.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return file;
}

MixInput input(const std::vector<std::uint8_t>& file, std::size_t headerSize) {
    return {file, headerSize, file.size() - headerSize};
}

std::vector<std::int16_t> samplesOf(const std::vector<std::uint8_t>& file, std::size_t from) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = from; i + 1 < file.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(file[i] | (file[i + 1] << 8)));
    return samples;
}

TEST(PerformanceMixTest, SamplesScaleBySixTenthsTowardZero) {
    EXPECT_EQ(mixSample(1000, -1000), 0);
    EXPECT_EQ(mixSample(3, 3), 2);
    EXPECT_EQ(mixSample(-3, -3), -2);
    EXPECT_EQ(mixSample(5, 0), 3);
    EXPECT_EQ(mixSample(-9, 9), 0);
    EXPECT_EQ(mixSample(0, -32768), -19660);
    EXPECT_EQ(mixSample(12345, -2222), 7407 - 1333);
}

TEST(PerformanceMixTest, SumsBeyondSixteenBitsAreClipped) {
    EXPECT_EQ(mixSample(32767, 32767), 32767);
    EXPECT_EQ(mixSample(-32768, -32768), -32768);
    EXPECT_EQ(mixSample(30000, 25000), 32767); // 18000 + 15000
    EXPECT_EQ(mixSample(-30000, -25000), -32768);
    EXPECT_EQ(mixSample(27306, 27306), 32766); // 16383 + 16383 still fits
}

TEST(PerformanceMixTest, LongerSongKeepsItsHeaderAndVoiceEndsInSilence) {
    const auto song = waveFile(44, {1000, 3, 500, -500, 100}, 0xA5);
    const auto voice = waveFile(46, {-1000, 3}, 0x5A);
    const auto out = mixPerformance(input(song, 44), input(voice, 46));
    ASSERT_EQ(out.size(), song.size());
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 44),
              std::vector<std::uint8_t>(song.begin(), song.begin() + 44));
    EXPECT_EQ(samplesOf(out, 44), (std::vector<std::int16_t>{0, 2, 300, -300, 60}));
}

TEST(PerformanceMixTest, LongerVoiceKeepsItsHeaderAndSongEndsInSilence) {
    const auto song = waveFile(44, {10, 20}, 0xA5);
    const auto voice = waveFile(46, {10, 20, 30, -40}, 0x5A);
    const auto out = mixPerformance(input(song, 44), input(voice, 46));
    ASSERT_EQ(out.size(), voice.size());
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 46),
              std::vector<std::uint8_t>(voice.begin(), voice.begin() + 46));
    EXPECT_EQ(samplesOf(out, 46), (std::vector<std::int16_t>{12, 24, 18, -24}));
}

TEST(PerformanceMixTest, EqualSizesCopyTheVoice) {
    // 46 + 2 samples against 44 + 3 samples: both 50 bytes, the voice's header wins and the
    // song's samples are read from their own offset.
    const auto song = waveFile(44, {100, 200, 300}, 0xA5);
    const auto voice = waveFile(46, {100, 200}, 0x5A);
    ASSERT_EQ(song.size(), voice.size());
    const auto out = mixPerformance(input(song, 44), input(voice, 46));
    EXPECT_EQ(out[0], 0x5A);
    EXPECT_EQ(samplesOf(out, 46), (std::vector<std::int16_t>{120, 240}));
}

TEST(PerformanceMixTest, BytesAfterTheDataChunkAreKept) {
    // A trailing chunk after the samples is part of the copied file, not of the mix.
    auto song = waveFile(44, {1000, 1000}, 0xA5);
    const std::string trailer("LIST\x04\0\0\0abcd", 12);
    song.insert(song.end(), trailer.begin(), trailer.end());
    const auto voice = waveFile(46, {1000}, 0x5A);
    const auto out = mixPerformance({song, 44, 4}, input(voice, 46));
    ASSERT_EQ(out.size(), song.size());
    EXPECT_EQ(std::string(out.end() - 12, out.end()), trailer);
    EXPECT_EQ(samplesOf(std::vector<std::uint8_t>(out.begin(), out.begin() + 48), 44),
              (std::vector<std::int16_t>{1200, 600}));
}

TEST(PerformanceMixTest, OddAndOversizedDataSizesStayInsideTheFiles) {
    const auto song = waveFile(44, {1000, 1000}, 0xA5);
    std::vector<std::uint8_t> voice(47, 0x5A); // a header and one stray byte
    const auto out = mixPerformance({song, 44, 1'000'000}, {voice, 46, 1});
    EXPECT_EQ(samplesOf(out, 44), (std::vector<std::int16_t>{600, 600}));
    const auto empty = mixPerformance({{}, 44, 10}, {{}, 46, 10});
    EXPECT_TRUE(empty.empty());
}

} // namespace
