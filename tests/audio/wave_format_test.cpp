#include "audio/codec_errors.h"
#include "audio/wave_format.h"

#include <gtest/gtest.h>

namespace cantorix::audio {
namespace {

TEST(TdeWaveFormatTest, StartsAsEightBitStereoAt11025Hz) {
    const TdeWaveFormat f;
    EXPECT_EQ(f.formatTag(), 1);
    EXPECT_EQ(f.channels(), 2);
    EXPECT_EQ(f.samplesPerSec(), 11025u);
    EXPECT_EQ(f.avgBytesPerSec(), 22050u);
    EXPECT_EQ(f.blockAlign(), 2);
    EXPECT_EQ(f.bitsPerSample(), 8);
    EXPECT_EQ(f.extraSize(), 0);
    // The fields sit where the platform's record has them, little-endian.
    EXPECT_EQ(f.buffer()[4], 0x11);
    EXPECT_EQ(f.buffer()[5], 0x2B);
}

TEST(TdeWaveFormatTest, ExtraSizeIsCappedAndGuarded) {
    TdeWaveFormat f;
    f.setExtraSize(494);
    EXPECT_EQ(f.extraSize(), 494);
    try {
        f.setExtraSize(495);
        FAIL() << "no exception";
    } catch (const EAudioCodecError& e) {
        EXPECT_STREQ(e.what(), "The wave format buffer is too small.");
    }
    // A stored value from a file that is too large reads as the most the buffer holds.
    f.buffer()[16] = 0xFF;
    f.buffer()[17] = 0xFF;
    EXPECT_EQ(f.extraSize(), 494);
}

TEST(TdeWaveFormatTest, EqualityCoversAllFiveHundredTwelveBytes) {
    TdeWaveFormat a = makePcmWaveFormat(22050, 16, 2);
    TdeWaveFormat b = a;
    EXPECT_EQ(a, b);
    b.buffer()[511] = 1; // beyond any field a PCM record uses
    EXPECT_NE(a, b);
    EXPECT_EQ(a.avgBytesPerSec(), 88200u);
    EXPECT_EQ(a.blockAlign(), 4);
}

TEST(TdeWaveFormatTest, MpegLayer3RecordCarriesItsExtraFields) {
    const TdeWaveFormat f = makeMpegLayer3WaveFormat(24000, 2, 7000, 2, 168, 1393);
    EXPECT_EQ(f.formatTag(), 85);
    EXPECT_EQ(f.blockAlign(), 1);
    EXPECT_EQ(f.bitsPerSample(), 0);
    EXPECT_EQ(f.extraSize(), 12);
    const std::uint8_t expected[12] = {1, 0, 2, 0, 0, 0, 168, 0, 1, 0, 0x71, 0x05};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(f.extra()[i], expected[i]) << i;
}

TEST(CodecErrorMessageTest, CodesGiveTheirTextsAfterTheContext) {
    EXPECT_EQ(codecErrorMessage(32), "The selected audio format is not supported on this machine.");
    EXPECT_EQ(codecErrorMessage(512, "Opening the codec"),
              "Opening the codec\nThe requested operation cannot be performed.");
    EXPECT_EQ(codecErrorMessage(34), codecErrorMessage(514));
    EXPECT_EQ(codecErrorMessage(99), "An unexpected error has occurred (code #99).");
    EXPECT_NO_THROW(checkCodecResult(0));
    EXPECT_THROW(checkCodecResult<ECodecDriverError>(7), ECodecDriverError);
}

} // namespace
} // namespace cantorix::audio
