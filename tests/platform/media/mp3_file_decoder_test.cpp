#include "platform/media/mp3_file_decoder.h"
#include "platform/mp3_test_files.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using cantorix::platform::Mp3FileDecoder;
using namespace cantorix::testing;

namespace {

std::vector<float> decodeAll(Mp3FileDecoder& decoder) {
    std::vector<float> all, block(1000 * 2);
    while (std::size_t n = decoder.read(block.data(), 1000))
        all.insert(all.end(), block.begin(), block.begin() + long(n * 2));
    return all;
}

} // namespace

class Mp3FileDecoderTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(Mp3FileDecoderTest, TaggedFilesHaveTheirExactLength) {
    Mp3FileDecoder stereo(writeMp3(dir / "stereo.mp3", {44100, 2, 66150}));
    EXPECT_EQ(stereo.sampleRate(), 44100);
    EXPECT_EQ(stereo.lengthFrames(), 66150);
    EXPECT_EQ(stereo.lengthMs(), 1500);
    EXPECT_EQ(decodeAll(stereo).size(), 66150u * 2);

    // 1000 frames at 22.05 kHz are 45.35 ms: the partial millisecond does not count.
    Mp3FileDecoder mono(writeMp3(dir / "mono.mp3", {22050, 1, 1000}));
    EXPECT_EQ(mono.sampleRate(), 22050);
    EXPECT_EQ(mono.lengthFrames(), 1000);
    EXPECT_EQ(mono.lengthMs(), 45);
}

// Bare frames (as the game's own encoder writes them) keep the encoder's delay and padding:
// the length is what a decoder delivers, never less than what went in.
TEST_F(Mp3FileDecoderTest, BareFramesCountTheirPadding) {
    Mp3FileDecoder bare(writeMp3(dir / "bare.mp3", {44100, 2, 66150, false}));
    EXPECT_GE(bare.lengthFrames(), 66150);
    EXPECT_LE(bare.lengthFrames(), 66150 + 3 * 1152);
    EXPECT_EQ(decodeAll(bare).size(), std::size_t(bare.lengthFrames()) * 2);
}

TEST_F(Mp3FileDecoderTest, MonoComesOutOnBothChannelsAtFullLevel) {
    Mp3FileDecoder mono(writeMp3(dir / "mono.mp3", {44100, 1, 44100}));
    const std::vector<float> all = decodeAll(mono);
    float peak = 0;
    for (std::size_t i = 0; i < all.size(); i += 2) {
        ASSERT_EQ(all[i], all[i + 1]);
        peak = std::max(peak, std::abs(all[i]));
    }
    EXPECT_NEAR(peak, 0.5f, 0.05f);
}

TEST_F(Mp3FileDecoderTest, SeeksLandOnTheSample) {
    Mp3FileDecoder decoder(writeMp3(dir / "tone.mp3"));
    const std::vector<float> all = decodeAll(decoder);
    for (std::int64_t frame : {0, 1, 1151, 1152, 30001, 66149}) {
        decoder.seek(frame);
        std::vector<float> block(64 * 2);
        const std::size_t n = decoder.read(block.data(), 64);
        ASSERT_EQ(n, std::min<std::size_t>(64, std::size_t(66150 - frame))) << frame;
        for (std::size_t i = 0; i < n * 2; ++i)
            ASSERT_NEAR(block[i], all[std::size_t(frame) * 2 + i], 1e-4) << frame << " " << i;
    }
    decoder.seek(66150);
    std::vector<float> block(64 * 2);
    EXPECT_EQ(decoder.read(block.data(), 64), 0u) << "at the end";
    decoder.seek(-5);
    EXPECT_EQ(decoder.read(block.data(), 1), 1u);
    EXPECT_NEAR(block[0], all[0], 1e-4) << "before the start is the start";
}
