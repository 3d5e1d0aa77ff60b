#include "platform/claimed_length_files.h"
#include "platform/ffmpeg_test_files.h"
#include "platform/media/audio_file_decoder.h"
#include "platform/media/ffmpeg_audio_decoder.h"
#include "platform/media/mp3_file_decoder.h"
#include "platform/mp3_test_files.h"
#include "songs/media_player_port.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

using namespace cantorix::platform;
using namespace cantorix::testing;
using cantorix::songs::EMediaPlayerError;

namespace {

std::vector<float> decodeAll(AudioFileDecoder& decoder) {
    std::vector<float> all, block(1000 * 2);
    while (std::size_t n = decoder.read(block.data(), 1000))
        all.insert(all.end(), block.begin(), block.begin() + long(n * 2));
    return all;
}

struct Format {
    const char* file;
    const char* codec;
    int rate;
    int channels;
    std::int64_t minFrames, maxFrames; // what the encoder may add to 1.2345 s
};

} // namespace

class FfmpegAudioDecoderTest : public ::testing::Test {
protected:
    TempDir dir;
};

// Every container and codec: the length is exactly what decoding gives, near what went in, and
// a seek anywhere reads the very samples a decoding from the start reads there.
TEST_F(FfmpegAudioDecoderTest, LengthIsWhatDecodesAndSeeksLandOnTheSample) {
    const Format formats[] = {
        {"tone.ogg", "libvorbis", 44100, 2, 54441, 54441},
        {"tone.flac", "flac", 44100, 2, 54441, 54441},
        {"tone.wav", "pcm_s16le", 44100, 2, 54441, 54441},
        {"mono.wav", "pcm_u8", 22050, 1, 27221, 27221},
        {"tone.opus", "libopus", 48000, 2, 59256, 59256 + 960},
        {"tone.m4a", "aac", 44100, 2, 54441, 54441 + 2048},
        {"tone.mka", "libvorbis", 44100, 2, 54441, 54441 + 1024},
        {"tone.webm", "libopus", 48000, 2, 59256, 59256 + 960},
    };
    for (const Format& f : formats) {
        SCOPED_TRACE(f.file);
        FfmpegAudioDecoder decoder(makeTone(dir / f.file, f.codec, f.rate, f.channels));
        EXPECT_EQ(decoder.sampleRate(), f.rate);
        EXPECT_GE(decoder.lengthFrames(), f.minFrames);
        EXPECT_LE(decoder.lengthFrames(), f.maxFrames);
        const std::vector<float> all = decodeAll(decoder);
        ASSERT_EQ(std::int64_t(all.size()), decoder.lengthFrames() * 2);
        const std::int64_t length = decoder.lengthFrames();
        for (std::int64_t frame : {length - 1, std::int64_t{0}, std::int64_t{1}, length / 2,
                                   std::int64_t{1000}, length - 64, length * 3 / 4 + 1}) {
            decoder.seek(frame);
            std::vector<float> block(64 * 2);
            const std::size_t n = decoder.read(block.data(), 64);
            ASSERT_EQ(std::int64_t(n), std::min<std::int64_t>(64, length - frame)) << frame;
            for (std::size_t i = 0; i < n * 2; ++i)
                ASSERT_NEAR(block[i], all[std::size_t(frame) * 2 + i], 2e-3) << frame << " " << i;
        }
        decoder.seek(length + 10);
        std::vector<float> block(2);
        EXPECT_EQ(decoder.read(block.data(), 1), 0u) << "past the end is the end";
    }
}

TEST_F(FfmpegAudioDecoderTest, MonoComesOutOnBothChannelsAtFullLevel) {
    FfmpegAudioDecoder decoder(makeTone(dir / "mono.flac", "flac", 44100, 1));
    const std::vector<float> all = decodeAll(decoder);
    float peak = 0;
    for (std::size_t i = 0; i < all.size(); i += 2) {
        ASSERT_EQ(all[i], all[i + 1]);
        peak = std::max(peak, std::abs(all[i]));
    }
    EXPECT_NEAR(peak, 0.125f, 0.01f) << "the sine source's level, not 3 dB under it";
}

// The content chooses the decoder, never the name; bare MPEG audio is libmpg123's alone.
TEST_F(FfmpegAudioDecoderTest, TheContentChoosesTheDecoder) {
    writeMp3(dir / "song.ogg");
    std::filesystem::rename(makeTone(dir / "vorbis.ogg", "libvorbis"), dir / "song.mp3");
    EXPECT_NE(dynamic_cast<Mp3FileDecoder*>(openAudioFile(dir / "song.ogg").get()), nullptr);
    EXPECT_NE(dynamic_cast<FfmpegAudioDecoder*>(openAudioFile(dir / "song.mp3").get()), nullptr);
    // MPEG audio in a RIFF WAVE is a container FFmpeg reads.
    makeWithFfmpeg("-f lavfi -i sine=d=0.5 -c:a libmp3lame -f wav", dir / "mpeg.wav");
    EXPECT_NE(dynamic_cast<FfmpegAudioDecoder*>(openAudioFile(dir / "mpeg.wav").get()), nullptr);
}

TEST_F(FfmpegAudioDecoderTest, FilesWithoutPlayableAudioGiveAClearError) {
    writeBytes(dir / "text.ogg", {'#', 'T', 'I', 'T', 'L', 'E', ':', 'x', '\n'});
    writeBytes(dir / "empty.ogg", {});
    makeWithFfmpeg("-f lavfi -i testsrc=d=0.2:s=64x48 -c:v mpeg4", dir / "silent.mp4");
    std::vector<unsigned char> junk(3000, 0x5A);
    const std::vector<unsigned char> mp3 = encodeMp3({});
    junk.insert(junk.end(), mp3.begin(), mp3.end());
    writeBytes(dir / "junk.mp3", junk);
    std::filesystem::create_directory(dir / "folder.ogg");

    const std::pair<std::string, std::string> cases[] = {
        {"missing.ogg", "No such file or directory"},
        {"folder.ogg", "it is a folder, not a regular file"},
        {"text.ogg", "not a sound file the game can play"},
        {"empty.ogg", "not a sound file the game can play"},
        {"silent.mp4", "it holds no audio stream"},
        // libmpg123 alone would find the frames behind the junk; FFmpeg must not play it either.
        {"junk.mp3", "not an MP3 file"},
    };
    for (const auto& [name, reason] : cases) {
        try {
            openAudioFile(dir / name);
            ADD_FAILURE() << name << " opened";
        } catch (const EMediaPlayerError& error) {
            EXPECT_EQ(error.what(), "Cannot play '" + (dir / name).string() + "': " + reason);
        }
    }
}

// A length the container's header states is taken only where the file could hold it: a claim of
// years in a few kilobytes is counted by decoding, so the length is what plays.
TEST_F(FfmpegAudioDecoderTest, HeaderLengthsAreBelievedOnlyWhereTheFileCouldHoldThem) {
    constexpr std::int64_t kYear = std::int64_t{44100} * 365 * 24 * 3600;
    struct Claim {
        const char* file;
        const char* codec;
        std::function<void(const std::filesystem::path&)> patch;
        std::int64_t minFrames, maxFrames;
        bool playsItsLength; // a believed claim plays only what the file holds
    };
    const Claim claims[] = {
        {"granule60.ogg", "libvorbis", [](const auto& f) { claimOggGranule(f, 1ull << 60); }, 54441,
         54441 + 2048, true},
        {"granule63.ogg", "libvorbis", [](const auto& f) { claimOggGranule(f, ~0ull >> 1); }, 54441,
         54441 + 2048, true},
        {"year.ogg", "libvorbis", [](const auto& f) { claimOggGranule(f, kYear); }, 54441,
         54441 + 2048, true},
        {"longest.flac", "flac", claimLongestFlac, 54441, 54441, true},
        // Three seconds in kilobytes is believable: taken as the header says.
        {"three.ogg", "libvorbis", [](const auto& f) { claimOggGranule(f, 3 * 44100); }, 3 * 44100,
         3 * 44100, false},
    };
    for (const Claim& c : claims) {
        SCOPED_TRACE(c.file);
        c.patch(makeTone(dir / c.file, c.codec));
        const std::unique_ptr<AudioFileDecoder> decoder = openAudioFile(dir / c.file);
        EXPECT_GE(decoder->lengthFrames(), c.minFrames);
        EXPECT_LE(decoder->lengthFrames(), c.maxFrames);
        EXPECT_LE(decoder->lengthMs(), c.maxFrames * 1000 / 44100);
        if (c.playsItsLength) {
            EXPECT_EQ(std::int64_t(decodeAll(*decoder).size()), decoder->lengthFrames() * 2);
        }
    }
}
