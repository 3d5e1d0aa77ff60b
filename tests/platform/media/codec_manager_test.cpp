#include "audio/audio_convertor.h"
#include "audio/mpeg_scan.h"
#include "audio/riff_stream.h"
#include "platform/media/codec_manager.h"
#include "platform/media/mp3_file_decoder.h"
#include "platform/mp3_test_files.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

namespace cantorix::platform {
namespace {

using audio::MemoryStream;
using audio::TdeAudioConvertor;
using audio::TdeWaveFormat;
using Bytes = std::vector<std::uint8_t>;

const TdeWaveFormat kPcm22050 = audio::makePcmWaveFormat(22050, 16, 2);
const TdeWaveFormat kExportMp3 = audio::makeMpegLayer3WaveFormat(24000, 2, 7000, 2, 168, 1393);

std::vector<std::int16_t> leftChannel(const Bytes& pcm) {
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i + 3 < pcm.size(); i += 4)
        left.push_back(static_cast<std::int16_t>(pcm[i] | pcm[i + 1] << 8));
    return left;
}

// Upward zero crossings per second of the middle of a tone.
double frequencyOf(const std::vector<float>& samples, int rate) {
    const std::size_t from = samples.size() / 4, to = samples.size() * 3 / 4;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        crossings += samples[i - 1] < 0 && samples[i] >= 0;
    return crossings * double(rate) / double(to - from);
}

// The song's MP3 behind the 70-byte header, as the export's first phase writes it.
Bytes wrapMp3(const Bytes& mp3) {
    audio::TMpegFrameRecord record;
    EXPECT_GT(audio::mpegScan(mp3, record), 0);
    const auto header = audio::mpegWaveHeader(record);
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), mp3.begin() + record.firstFrameOffset,
                mp3.begin() + record.firstFrameOffset + record.dataLength);
    return file;
}

class CodecManagerTest : public ::testing::Test {
protected:
    CodecManager codecs;
};

TEST_F(CodecManagerTest, AnswersWhichConversionsExist) {
    const TdeWaveFormat mp3At44100 = audio::makeMpegLayer3WaveFormat(44100, 2, 16000, 2, 417, 1105);
    const TdeWaveFormat pcm44100 = audio::makePcmWaveFormat(44100, 16, 2);
    EXPECT_EQ(codecs.query(mp3At44100, pcm44100, false), 0);
    EXPECT_NE(codecs.query(mp3At44100, kPcm22050, false), 0); // the decoder keeps the rate
    EXPECT_EQ(codecs.query(pcm44100, audio::makePcmWaveFormat(8000, 8, 1), false), 0);
    EXPECT_NE(codecs.query(kPcm22050, kExportMp3, false), 0); // the encoder keeps the rate too
    EXPECT_EQ(codecs.query(audio::makePcmWaveFormat(24000, 16, 2), kExportMp3, true), 0);
    TdeWaveFormat oddBitRate = kExportMp3;
    oddBitRate.setAvgBytesPerSec(7001);
    EXPECT_NE(codecs.query(audio::makePcmWaveFormat(24000, 16, 2), oddBitRate, false), 0);
    TdeWaveFormat inconsistent = kPcm22050;
    inconsistent.setAvgBytesPerSec(1);
    EXPECT_NE(codecs.query(inconsistent, pcm44100, false), 0);
    TdeWaveFormat hugeRate = mp3At44100;
    hugeRate.setAvgBytesPerSec(0xFFFFFFFF); // a file's claim must not size a buffer
    EXPECT_NE(codecs.query(hugeRate, pcm44100, false), 0);
}

TEST_F(CodecManagerTest, SuggestsPcmAtTheSourcesRateAndChannels) {
    TdeWaveFormat pcm = kExportMp3; // bytes past the record stay
    pcm.setFormatTag(1);
    ASSERT_EQ(
        codecs.suggestPcm(audio::makeMpegLayer3WaveFormat(44100, 1, 16000, 2, 417, 1105), pcm), 0);
    EXPECT_EQ(pcm.samplesPerSec(), 44100u);
    EXPECT_EQ(pcm.channels(), 1);
    EXPECT_EQ(pcm.bitsPerSample(), 16);
    EXPECT_EQ(pcm.avgBytesPerSec(), 88200u);
    EXPECT_EQ(pcm.extraSize(), 0);
    EXPECT_EQ(pcm.extra()[0], kExportMp3.extra()[0]);
    ASSERT_EQ(codecs.suggestPcm(audio::makePcmWaveFormat(11025, 8, 1), pcm), 0);
    EXPECT_EQ(pcm.bitsPerSample(), 8);
}

TEST_F(CodecManagerTest, PcmConversionOfChannelsAndBitsIsExact) {
    TdeAudioConvertor convertor(codecs);
    convertor.formatIn() = audio::makePcmWaveFormat(11025, 8, 1);
    convertor.formatOut() = audio::makePcmWaveFormat(11025, 16, 2);
    convertor.open();
    EXPECT_EQ(convertor.stepCount(), 1u);
    MemoryStream source(Bytes{128, 192, 0, 255});
    MemoryStream out;
    convertor.setRawOutput(&out);
    convertor.convert(source);
    const std::vector<std::int16_t> left = leftChannel(out.bytes());
    EXPECT_EQ(left, (std::vector<std::int16_t>{0, 16384, -32768, 32512}));
    EXPECT_EQ(out.bytes()[4], out.bytes()[6]); // both channels alike
}

TEST_F(CodecManagerTest, DecodesAnMp3At44100HzToPcmAt22050Hz) {
    const Bytes mp3 = testing::encodeMp3({.rate = 44100, .channels = 2, .frames = 3 * 44100});
    MemoryStream song(wrapMp3(mp3));
    audio::TdeRIFFAudioReader reader(song);
    MemoryStream decoded;
    audio::TdeRIFFAudioWriter writer(decoded);
    TdeWaveFormat target = kPcm22050;
    target.setExtraSize(32);
    writer.format() = target;

    TdeAudioConvertor convertor(codecs);
    convertor.formatIn() = reader.format();
    convertor.formatOut() = target;
    convertor.onAudioConverted = [&](TdeAudioConvertor&, std::span<const std::uint8_t> d, bool&) {
        writer.write(d.data(), d.size());
    };
    convertor.open();
    ASSERT_EQ(convertor.chain().size(), 3u);
    EXPECT_EQ(convertor.chain()[1].samplesPerSec(), 44100u);
    EXPECT_EQ(convertor.chain()[1].formatTag(), 1);
    convertor.convert(reader.dataStream());
    writer.finish();

    MemoryStream readBack(decoded.bytes());
    audio::TdeRIFFAudioReader pcm(readBack);
    EXPECT_EQ(pcm.format().samplesPerSec(), 22050u);
    EXPECT_EQ(pcm.dataStream().start(), 44);
    // Three seconds, give or take the decoder's delay and the last frame's padding.
    const double seconds = double(pcm.dataStream().size()) / 88200;
    EXPECT_NEAR(seconds, 3.0, 0.08);
    Bytes data(static_cast<std::size_t>(pcm.dataStream().size()));
    pcm.dataStream().readBuffer(data.data(), data.size());
    std::vector<float> left;
    for (std::int16_t s : leftChannel(data))
        left.push_back(s / 32768.0f);
    EXPECT_NEAR(frequencyOf(left, 22050), 440.0, 5.0);
    float peak = 0;
    for (float s : left)
        peak = std::max(peak, std::abs(s));
    EXPECT_NEAR(peak, 0.5f, 0.08f);
}

TEST_F(CodecManagerTest, EncodesPcmAt22050HzToTheExportsMp3Format) {
    // Three seconds of a 330 Hz tone, 16-bit stereo at 22050 Hz.
    Bytes pcm;
    for (int i = 0; i < 3 * 22050; ++i) {
        const auto s = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 330 * i / 22050.0));
        for (int c = 0; c < 2; ++c) {
            pcm.push_back(static_cast<std::uint8_t>(s));
            pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
        }
    }
    MemoryStream source(pcm);
    MemoryStream mp3;
    TdeAudioConvertor convertor(codecs);
    convertor.setRequestRealTime(true);
    convertor.formatIn() = kPcm22050;
    convertor.formatOut() = kExportMp3;
    convertor.setRawOutput(&mp3);
    convertor.open();
    ASSERT_EQ(convertor.chain().size(), 3u);
    EXPECT_EQ(convertor.chain()[1].samplesPerSec(), 24000u);
    convertor.convert(source);
    convertor.close();

    // Bare frames from the first byte: MPEG 2 layer III, 24000 Hz, 56 kbit/s, stereo.
    audio::TMpegFrameRecord record;
    ASSERT_GT(audio::mpegScan(mp3.bytes(), record), 0);
    EXPECT_EQ(record.firstFrameOffset, 0);
    EXPECT_FALSE(record.xingFound);
    EXPECT_EQ(record.version, 2);
    EXPECT_EQ(record.layer, 3);
    EXPECT_EQ(record.sampleRate, 24000);
    EXPECT_EQ(record.bitRate, 56);
    EXPECT_FALSE(record.singleChannel);
    EXPECT_NE(std::string(mp3.bytes().end() - 128, mp3.bytes().end() - 125), "TAG");

    testing::TempDir dir;
    testing::writeBytes(dir / "out.mp3", mp3.bytes());
    Mp3FileDecoder decoder(dir / "out.mp3");
    EXPECT_EQ(decoder.sampleRate(), 24000);
    // Bare frames keep the encoder's delay and padding: up to about two frames more.
    EXPECT_GE(decoder.lengthFrames(), 3 * 24000);
    EXPECT_LE(decoder.lengthFrames(), 3 * 24000 + 2 * 1152);
    std::vector<float> stereo(static_cast<std::size_t>(decoder.lengthFrames()) * 2);
    const std::size_t got = decoder.read(stereo.data(), stereo.size() / 2);
    std::vector<float> left;
    for (std::size_t i = 0; i < got; ++i)
        left.push_back(stereo[2 * i]);
    EXPECT_NEAR(frequencyOf(left, 24000), 330.0, 5.0);
}

TEST_F(CodecManagerTest, DamagedMpegDataIsAnErrorOrSilenceNeverACrash) {
    std::mt19937 random(7);
    Bytes junk(40000);
    for (auto& b : junk)
        b = static_cast<std::uint8_t>(random());
    MemoryStream source(junk);
    TdeAudioConvertor convertor(codecs);
    convertor.formatIn() = audio::makeMpegLayer3WaveFormat(44100, 2, 16000, 2, 417, 1105);
    convertor.formatOut() = kPcm22050;
    convertor.open();
    try {
        convertor.convert(source);
    } catch (const audio::EAudioCodecError&) {
    }
    SUCCEED();
}

} // namespace
} // namespace cantorix::platform
