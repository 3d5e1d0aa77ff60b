#include "audio/codec_errors.h"
#include "audio/mpeg_scan.h"
#include "audio/riff_stream.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace cantorix::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FrameSpec {
    int version = 1;
    int layer = 3;
    int bitRateIndex = 9; // 128 kbit/s for MPEG 1 layer III
    int sampleRateIndex = 0;
    int padding = 0;
    int channelMode = 1; // joint stereo
};

// One frame: the header and zeros up to the frame's length.
Bytes frame(const FrameSpec& s, int length) {
    Bytes b(static_cast<std::size_t>(length), 0);
    b[0] = 0xFF;
    b[1] = static_cast<std::uint8_t>(0xF1 | (s.version == 1 ? 0x08 : 0) | (4 - s.layer) << 1);
    b[2] = static_cast<std::uint8_t>(s.bitRateIndex << 4 | s.sampleRateIndex << 2 | s.padding << 1);
    b[3] = static_cast<std::uint8_t>(s.channelMode << 6);
    return b;
}

// count MPEG 1 layer III frames at 128 kbit/s, 44100 Hz (417 bytes, 418 when padded).
Bytes frames(int count, bool alternatePadding = false) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        FrameSpec s;
        s.padding = alternatePadding ? i % 2 : 0;
        const Bytes f = frame(s, 417 + s.padding);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::uint32_t le32(const std::array<std::uint8_t, 70>& h, std::size_t at) {
    return h[at] | h[at + 1] << 8 | h[at + 2] << 16 | std::uint32_t{h[at + 3]} << 24;
}
std::uint16_t le16(const std::array<std::uint8_t, 70>& h, std::size_t at) {
    return static_cast<std::uint16_t>(h[at] | h[at + 1] << 8);
}

TEST(MpegScanTest, CountsFramesOfAnUnpaddedStream) {
    const Bytes file = concat(Bytes(100, 0), frames(10));
    TMpegFrameRecord r;
    // (4170 + 2) × 65536 / (417 × 65536) + 1 frames of 1152 samples at 44100 Hz.
    EXPECT_EQ(mpegScan(file, r), 11 * 1152 * 1000 / 44100);
    EXPECT_EQ(r.firstFrameOffset, 100);
    EXPECT_EQ(r.dataLength, 4170);
    EXPECT_EQ(r.frameCount, 11);
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.layer, 3);
    EXPECT_EQ(r.bitRate, 128);
    EXPECT_EQ(r.sampleRate, 44100);
    EXPECT_EQ(r.frameLength, 417);
    EXPECT_FALSE(r.paddingSeen);
    EXPECT_FALSE(r.xingFound);
}

TEST(MpegScanTest, PaddedStreamsUseTheExactAverageFrameLength) {
    const Bytes file = frames(10, true);
    TMpegFrameRecord r;
    mpegScan(file, r);
    EXPECT_TRUE(r.paddingSeen);
    // average = round(8192000 × 128 × 1152 / 44100) = 27391373 (1/65536 bytes).
    EXPECT_EQ(r.frameCount, (4175 + 2) * 65536LL / 27391373 + 1);
}

TEST(MpegScanTest, ExcludesATrailingId3v1Block) {
    Bytes tag(128, ' ');
    std::memcpy(tag.data(), "TAG", 3);
    TMpegFrameRecord withTag;
    TMpegFrameRecord without;
    mpegScan(concat(frames(10), tag), withTag);
    mpegScan(frames(10), without);
    EXPECT_EQ(withTag.dataLength, 4170);
    EXPECT_EQ(withTag.frameCount, without.frameCount);
    // Without "TAG" the last 128 bytes count as audio.
    tag[0] = 'X';
    TMpegFrameRecord untagged;
    mpegScan(concat(frames(10), tag), untagged);
    EXPECT_EQ(untagged.dataLength, 4170 + 128);
}

TEST(MpegScanTest, HeaderWithoutTwoConsistentFollowersIsNotTheFirstFrame) {
    // A lone header and one follower, then zeros: a chain of two.
    Bytes fake = concat(frame({}, 417), frame({}, 417));
    fake.resize(fake.size() + 50, 0);
    // A header followed by two frames of another bit rate: they do not agree with it.
    FrameSpec other;
    other.bitRateIndex = 10;
    const int otherLength = 1152 * 160 * 125 / 44100;
    Bytes mixed =
        concat(frame({}, 417), concat(frame(other, otherLength), frame(other, otherLength)));
    const Bytes file = concat(concat(fake, mixed), frames(4));
    TMpegFrameRecord r;
    EXPECT_GT(mpegScan(file, r), 0);
    // Neither the lone pair, nor the 128 kbit/s header before two 160 kbit/s frames, nor that
    // pair before the 128 kbit/s stream makes a chain of three: the stream's first frame wins.
    EXPECT_EQ(r.firstFrameOffset, static_cast<std::int64_t>(fake.size() + mixed.size()));
    EXPECT_EQ(r.bitRate, 128);
}

TEST(MpegScanTest, FindsNothingInDataWithoutFrames) {
    TMpegFrameRecord r;
    r.bitRate = 5;
    EXPECT_EQ(mpegScan(Bytes(20000, 0xFF), r), 0);
    EXPECT_EQ(r.bitRate, 0);
    EXPECT_EQ(mpegScan(Bytes{}, r), 0);
    EXPECT_EQ(mpegScan(frames(2), r), 0); // too short a chain
    // Candidates lie in the first 8192 bytes only.
    EXPECT_EQ(mpegScan(concat(Bytes(8192, 0), frames(10)), r), 0);
}

TEST(MpegScanTest, RejectsTheReservedAndFreeFormatEntries) {
    TMpegFrameRecord r;
    FrameSpec freeFormat;
    freeFormat.bitRateIndex = 0;
    Bytes stream;
    for (int i = 0; i < 8; ++i)
        stream = concat(stream, frame(freeFormat, 417));
    EXPECT_EQ(mpegScan(stream, r), 0);
    FrameSpec reservedRate;
    reservedRate.sampleRateIndex = 3;
    stream.clear();
    for (int i = 0; i < 8; ++i)
        stream = concat(stream, frame(reservedRate, 417));
    EXPECT_EQ(mpegScan(stream, r), 0);
}

TEST(MpegScanTest, XingHeaderGivesTheFrameCount) {
    Bytes file = frames(3);
    // Stereo MPEG 1: the tag follows 4 header bytes and 32 bytes of side information.
    std::memcpy(&file[36], "Xing", 4);
    file[36 + 7] = 0x01;                        // frame count present
    file[36 + 10] = 0x13, file[36 + 11] = 0x88; // 5000, big-endian
    TMpegFrameRecord r;
    EXPECT_EQ(mpegScan(file, r), 5000LL * 1152 * 1000 / 44100);
    EXPECT_TRUE(r.xingFound);
    EXPECT_EQ(r.frameCount, 5000);
    EXPECT_EQ(r.firstFrameOffset, 0);
    // Without the flag bit the tag is not used and the chain decides.
    file[36 + 7] = 0;
    EXPECT_EQ(mpegScan(file, r), 4 * 1152 * 1000 / 44100);
    EXPECT_FALSE(r.xingFound);
}

TEST(MpegScanTest, MonoMpeg2XingTagSitsAfterNineBytesOfSideInformation) {
    FrameSpec s;
    s.version = 2;
    s.bitRateIndex = 7;    // 56 kbit/s
    s.sampleRateIndex = 1; // 24000 Hz
    s.channelMode = 3;
    const int length = 576 * 56 * 125 / 24000; // 168
    Bytes file;
    for (int i = 0; i < 3; ++i)
        file = concat(file, frame(s, length));
    std::memcpy(&file[13], "Xing", 4);
    file[13 + 7] = 1;
    file[13 + 11] = 100;
    TMpegFrameRecord r;
    EXPECT_EQ(mpegScan(file, r), 100 * 576 * 1000 / 24000);
    EXPECT_TRUE(r.singleChannel);
    EXPECT_EQ(r.samplesPerFrame, 576);
    EXPECT_EQ(r.frameLength, 168);
}

TEST(MpegScanTest, StreamScanReadsTheSameAsTheWholeFile) {
    Bytes tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    const Bytes file = concat(concat(Bytes(300, 0), frames(60, true)), tag);
    TMpegFrameRecord fromBytes;
    TMpegFrameRecord fromStream;
    MemoryStream stream(file);
    stream.setPosition(77);
    EXPECT_EQ(mpegScan(stream, fromStream), mpegScan(file, fromBytes));
    EXPECT_EQ(fromStream.dataLength, fromBytes.dataLength);
    EXPECT_EQ(fromStream.frameCount, fromBytes.frameCount);
    EXPECT_EQ(stream.position(), 0);
}

TEST(MpegWaveHeaderTest, WrapsTheDataSoTheRiffReaderOpensIt) {
    const Bytes audio = frames(10, true);
    TMpegFrameRecord r;
    mpegScan(audio, r);
    const auto h = mpegWaveHeader(r);
    EXPECT_EQ(le32(h, 4), 4175u + 62);
    EXPECT_EQ(le32(h, 16), 30u);
    EXPECT_EQ(le16(h, 20), 85);
    EXPECT_EQ(le16(h, 22), 2);
    EXPECT_EQ(le32(h, 24), 44100u);
    EXPECT_EQ(le32(h, 28), 16000u);
    EXPECT_EQ(le16(h, 36), 12);
    EXPECT_EQ(le32(h, 40), 1u); // padding seen, no Xing
    EXPECT_EQ(le16(h, 44), 417);
    EXPECT_EQ(le16(h, 48), 1105);
    EXPECT_EQ(std::string(h.begin() + 50, h.begin() + 54), "fact");
    EXPECT_EQ(le32(h, 58), static_cast<std::uint32_t>((r.frameCount - 1) * 1152 - 1105));
    EXPECT_EQ(le32(h, 66), 4175u);

    MemoryStream file(concat(Bytes(h.begin(), h.end()), audio));
    TdeRIFFAudioReader reader(file);
    EXPECT_EQ(reader.format().formatTag(), 85);
    EXPECT_EQ(reader.format().avgBytesPerSec(), 16000u);
    EXPECT_EQ(reader.dataStream().start(), 70);
    EXPECT_EQ(reader.dataStream().size(), 4175);
}

TEST(MpegWaveHeaderTest, PaddingFlagsAndTinyStreams) {
    TMpegFrameRecord r;
    mpegScan(frames(10), r);
    EXPECT_EQ(le32(mpegWaveHeader(r), 40), 2u); // padding off
    r.xingFound = true;
    r.frameCount = 1;
    const auto h = mpegWaveHeader(r);
    EXPECT_EQ(le32(h, 40), 0u);
    EXPECT_EQ(le32(h, 58), 0u); // fewer samples than the codec delay: none, not a wrap-around
    r.dataLength = 0xFFFFFFFFLL;
    EXPECT_THROW(mpegWaveHeader(r), EAudioReadError);
}

} // namespace
} // namespace cantorix::audio
