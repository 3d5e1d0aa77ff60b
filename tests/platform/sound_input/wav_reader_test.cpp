#include "platform/sound_input/wav_reader.h"
#include "platform/wav_test_files.h"

#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace cantorix::platform;
using namespace cantorix::platform::testing;

namespace {

std::vector<float> decodeAll(const Bytes& file) {
    const WavInfo info = parseWav(file.data(), file.size());
    std::vector<float> out(info.frameCount);
    decodeMonoFrames(info, file.data(), file.size(), 0, info.frameCount, out.data());
    return out;
}

std::string errorOf(const Bytes& file) {
    try {
        parseWav(file.data(), file.size());
    } catch (const EWavError& e) {
        return e.what();
    }
    return "no error";
}

Bytes floatBits(std::initializer_list<float> values) {
    Bytes b;
    for (float v : values) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        putLe(b, bits, 4);
    }
    return b;
}

TEST(WavReaderTest, ReadsTheFormatAndLocatesTheSamples) {
    const Bytes file = wav(1, 2, 22050, 16, Bytes(40, 0));
    const WavInfo info = parseWav(file.data(), file.size());
    EXPECT_EQ(info.encoding, WavInfo::Encoding::Integer);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 22050u);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.dataOffset, 44u);
    EXPECT_EQ(info.frameCount, 10u);
}

TEST(WavReaderTest, DecodesEachSampleSizeToMinusOneToOne) {
    EXPECT_EQ(decodeAll(wav(1, 1, 8000, 8, {0, 128, 255})),
              (std::vector<float>{-1.0f, 0.0f, 127 / 128.0f}));
    EXPECT_EQ(decodeAll(wav(1, 1, 8000, 16, {0x00, 0x80, 0xff, 0x7f, 0x00, 0x40})),
              (std::vector<float>{-1.0f, 32767 / 32768.0f, 0.5f}));
    EXPECT_EQ(
        decodeAll(wav(1, 1, 8000, 24, {0x00, 0x00, 0x80, 0x00, 0x00, 0xc0, 0xff, 0xff, 0xff})),
        (std::vector<float>{-1.0f, -0.5f, -1 / 8388608.0f}));
    EXPECT_EQ(decodeAll(wav(1, 1, 8000, 32, {0, 0, 0, 0x80, 0, 0, 0, 0x40})),
              (std::vector<float>{-1.0f, 0.5f}));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(decodeAll(wav(3, 1, 8000, 32, floatBits({0.25f, -0.75f, nan}))),
              (std::vector<float>{0.25f, -0.75f, 0.0f}));
}

TEST(WavReaderTest, AveragesTheChannels) {
    const auto mono = decodeAll(wav(1, 3, 8000, 8, {255, 128, 1, 192, 192, 128}));
    ASSERT_EQ(mono.size(), 2u);
    EXPECT_FLOAT_EQ(mono[0], 0.0f);
    EXPECT_FLOAT_EQ(mono[1], (0.5f + 0.5f + 0.0f) / 3);
}

TEST(WavReaderTest, AcceptsTheExtensibleFormatChunk) {
    Bytes fmt = fmtBody(0xFFFE, 1, 8000, 16);
    putLe(fmt, 22, 2); // extra size
    putLe(fmt, 16, 2); // valid bits
    putLe(fmt, 4, 4);  // channel mask
    const Bytes guidFloat = {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    Bytes pcm = fmt;
    pcm.insert(pcm.end(), guidFloat.begin(), guidFloat.end());
    pcm[24] = 1;
    const Bytes file = riff({chunk("fmt ", pcm), chunk("data", {0x00, 0x40})});
    EXPECT_EQ(decodeAll(file), (std::vector<float>{0.5f}));

    Bytes odd = pcm;
    odd[30] = 0x11; // not the PCM/float family
    EXPECT_EQ(errorOf(riff({chunk("fmt ", odd), chunk("data", {0, 0})})),
              "unsupported extensible sub-format");
}

TEST(WavReaderTest, SkipsOtherChunksWithTheirPadding) {
    const Bytes file = riff({chunk("LIST", {'a', 'b', 'c'}), chunk("fmt ", fmtBody(1, 1, 8000, 8)),
                             chunk("fact", {1, 0, 0, 0}), chunk("data", {200, 100})});
    const WavInfo info = parseWav(file.data(), file.size());
    EXPECT_EQ(info.frameCount, 2u);
    EXPECT_EQ(file[info.dataOffset], 200);
}

TEST(WavReaderTest, CutOffDataYieldsTheWholeFramesPresent) {
    Bytes file = wav(1, 2, 8000, 16, Bytes(400, 0));
    file.resize(44 + 2 * 4 + 3); // two whole frames and part of a third
    EXPECT_EQ(parseWav(file.data(), file.size()).frameCount, 2u);

    Bytes trailing = wav(1, 1, 8000, 8, {1, 2});
    const Bytes list = chunk("LIST", Bytes(50, 'x'));
    trailing.insert(trailing.end(), list.begin(), list.begin() + 20); // metadata cut short
    EXPECT_EQ(parseWav(trailing.data(), trailing.size()).frameCount, 2u);
}

TEST(WavReaderTest, RefusesWhatIsNotAUsableWavFile) {
    EXPECT_EQ(errorOf({'R', 'I', 'F', 'F'}), "not a WAV file (too short)");
    EXPECT_EQ(errorOf(Bytes(64, 'x')), "not a WAV file (no RIFF/WAVE header)");
    Bytes rifx = wav(1, 1, 8000, 8, {0});
    rifx[3] = 'X';
    EXPECT_EQ(errorOf(rifx), "unsupported RIFF variant 'RIFX'");
    EXPECT_EQ(errorOf(riff({chunk("data", {1, 2})})), "no 'fmt ' chunk");
    EXPECT_EQ(errorOf(riff({chunk("fmt ", fmtBody(1, 1, 8000, 8))})), "no 'data' chunk");
    EXPECT_EQ(errorOf(riff({chunk("fmt ", Bytes(14, 0)), chunk("data", {})})),
              "'fmt ' chunk too short (14 bytes)");
    EXPECT_EQ(errorOf(riff(
                  {chunk("fmt ", fmtBody(1, 1, 8000, 8)), chunk("fmt ", fmtBody(1, 1, 8000, 8))})),
              "more than one 'fmt ' chunk");
    Bytes cutFmt = riff({chunk("fmt ", fmtBody(1, 1, 8000, 8))});
    cutFmt.resize(cutFmt.size() - 4);
    EXPECT_EQ(errorOf(cutFmt), "truncated 'fmt ' chunk");
    Bytes cutOther = riff({chunk("fmt ", fmtBody(1, 1, 8000, 8)), chunk("LI\x01T", Bytes(30, 0))});
    cutOther.resize(cutOther.size() - 10);
    EXPECT_EQ(errorOf(cutOther), "truncated 'LI?T' chunk");
}

TEST(WavReaderTest, RefusesFormatsItCannotDecode) {
    EXPECT_EQ(errorOf(wav(2, 1, 8000, 4, {0})), "unsupported sample encoding (format tag 2)");
    EXPECT_EQ(errorOf(wav(1, 1, 8000, 12, {0, 0})), "unsupported sample size of 12 bits");
    EXPECT_EQ(errorOf(wav(3, 1, 8000, 64, Bytes(8, 0))),
              "unsupported sample size of 64 bits for float samples");
    EXPECT_EQ(errorOf(wav(1, 0, 8000, 16, {})), "the file has no channels");
    EXPECT_EQ(errorOf(wav(1, 1, 0, 16, {})), "unsupported sample rate 0 Hz");
    Bytes fmt = fmtBody(1, 2, 8000, 16);
    fmt[12] = 2; // block align of one channel
    EXPECT_EQ(errorOf(riff({chunk("fmt ", fmt), chunk("data", {})})),
              "block align 2 does not match 2 channels of 16 bits");
}

TEST(WavReaderTest, DecodingFramesOutsideTheFileThrows) {
    const Bytes file = wav(1, 1, 8000, 8, {1, 2, 3});
    const WavInfo info = parseWav(file.data(), file.size());
    float out[4];
    EXPECT_THROW(decodeMonoFrames(info, file.data(), file.size(), 2, 2, out), EWavError);
    EXPECT_THROW(decodeMonoFrames(info, file.data(), file.size() - 2, 0, 3, out), EWavError);
    EXPECT_NO_THROW(decodeMonoFrames(info, file.data(), file.size(), 1, 2, out));
    EXPECT_FLOAT_EQ(out[1], (3 - 128) / 128.0f);
}

} // namespace
