#include "audio/pcm_format.h"

#include <gtest/gtest.h>

using namespace cantorix::audio;
using cantorix::base::TWaveFormat;

namespace {

TEST(PcmFormatTest, OrdinalsSelectRateBitsAndChannels) {
    const auto game = pcmFormatRecord(TPCMFormat::Stereo16bit22050Hz);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->formatTag, 1);
    EXPECT_EQ(game->channels, 2);
    EXPECT_EQ(game->samplesPerSec, 22050u);
    EXPECT_EQ(game->bitsPerSample, 16);
    EXPECT_EQ(game->blockAlign, 4);
    EXPECT_EQ(game->avgBytesPerSec, 88200u);
    EXPECT_EQ(game->extraSize, 0);

    const auto first = pcmFormatRecord(TPCMFormat::Mono8Bit8000Hz);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (TWaveFormat{1, 1, 8000, 8000, 1, 8, 0}));
    const auto defaults = pcmFormatRecord(TPCMFormat::Mono16bit8000Hz);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(*defaults, (TWaveFormat{1, 1, 8000, 16000, 2, 16, 0}));
    const auto eightBitStereo = pcmFormatRecord(TPCMFormat::Stereo8bit11025Hz);
    ASSERT_TRUE(eightBitStereo);
    EXPECT_EQ(*eightBitStereo, (TWaveFormat{1, 2, 11025, 22050, 2, 8, 0}));
    const auto last = pcmFormatRecord(TPCMFormat::Stereo16bit48000Hz);
    ASSERT_TRUE(last);
    EXPECT_EQ(*last, (TWaveFormat{1, 2, 48000, 192000, 4, 16, 0}));

    EXPECT_FALSE(pcmFormatRecord(TPCMFormat::nonePCM));
    EXPECT_FALSE(pcmFormatRecord(static_cast<TPCMFormat>(21)));
}

TEST(PcmFormatTest, BufferBytesRoundToNearestThenUpToWholeBlocks) {
    EXPECT_EQ(bufferBytes(*pcmFormatRecord(TPCMFormat::Stereo16bit22050Hz), 100), 8820);
    EXPECT_EQ(bufferBytes(*pcmFormatRecord(TPCMFormat::Stereo16bit22050Hz), 1000), 88200);
    // 11025 × 2 × 10 / 1000 = 220.5 rounds to 221, then up to the next whole frame.
    EXPECT_EQ(bufferBytes(*pcmFormatRecord(TPCMFormat::Mono16bit11025Hz), 10), 222);
    // 22050 × 4 × 11 / 1000 = 970.2 rounds to 970, then up to 972.
    EXPECT_EQ(bufferBytes(*pcmFormatRecord(TPCMFormat::Stereo16bit22050Hz), 11), 972);
    EXPECT_EQ(bufferBytes(*pcmFormatRecord(TPCMFormat::Mono8bit11025Hz), 10), 110);
}

} // namespace
