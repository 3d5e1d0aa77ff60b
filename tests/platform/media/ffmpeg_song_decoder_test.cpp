// The export of songs whose audio is not MPEG: the decoder takes them by their content, and the
// four phases run on them as on an MP3, the song decoded straight to the mix's PCM.

#include "audio/export_job.h"
#include "audio/file_stream.h"
#include "audio/riff_stream.h"
#include "platform/ffmpeg_test_files.h"
#include "platform/media/codec_manager.h"
#include "platform/media/ffmpeg_song_decoder.h"
#include "platform/mp3_test_files.h"

#include <gtest/gtest.h>
#include <vector>

namespace cantorix::platform {
namespace {

using testing::TempDir;

TEST(FfmpegSongDecoderTest, TakesAudioOtherThanMpegByItsContent) {
    TempDir dir;
    testing::makeTone(dir / "song.ogg", "libvorbis");
    testing::makeTone(dir / "song.m4a", "aac");
    std::filesystem::rename(testing::makeTone(dir / "flac.flac", "flac"), dir / "flac.mp3");
    testing::writeMp3(dir / "song.mp3");
    std::filesystem::rename(dir / "song.mp3", dir / "mp3.ogg");
    testing::makeWithFfmpeg("-f lavfi -i sine=d=0.5 -c:a libmp3lame -f wav", dir / "mpeg.wav");
    testing::writeBytes(dir / "text.ogg", {'h', 'i', '\n'});
    const std::pair<const char*, bool> cases[] = {
        {"song.ogg", true},  {"song.m4a", true},  {"flac.mp3", true},     {"mp3.ogg", false},
        {"mpeg.wav", false}, {"text.ogg", false}, {"missing.ogg", false},
    };
    FfmpegSongDecoder decoder;
    for (const auto& [name, takes] : cases)
        EXPECT_EQ(decoder.takes(dir / name), takes) << name;
    EXPECT_THROW(decoder.open(dir / "text.ogg", 22050, 2), audio::ESongAudioError);
}

TEST(FfmpegSongDecoderTest, OggSongExportsThroughAllFourPhases) {
    TempDir dir;
    const std::filesystem::path root = dir / "program";
    std::filesystem::create_directories(root);
    // A 2-second song at 44.1 kHz and a 1-second voice: the mix is as long as the song.
    const auto song = testing::makeTone(dir / "song.ogg", "libvorbis", 44100, 2, "2");
    audio::ExportFiles files = audio::ExportFiles::under(root, song, dir / "out.mp3");
    std::filesystem::create_directories(files.mixDirectory);
    testing::makeWithFfmpeg("-f lavfi -i sine=f=220:sample_rate=22050:d=1 -ac 2 -c:a pcm_s16le",
                            files.voice);
    CodecManager codecs;
    FfmpegSongDecoder otherAudio;
    audio::TExportJob job(codecs, otherAudio);
    job.begin(files);
    int lastPhase = 0;
    std::int64_t lastPosition = 0, lastSize = 0;
    const std::exception_ptr decodeError =
        audio::runExportPhases(job, [&](int phase, std::int64_t position, std::int64_t size) {
            if (phase == 2 && position > 0) {
                lastPosition = position;
                lastSize = size;
            }
            lastPhase = phase;
        });
    EXPECT_FALSE(decodeError);
    EXPECT_EQ(lastPhase, 4);
    EXPECT_FALSE(std::filesystem::exists(files.wrappedSong)) << "nothing to wrap";
    EXPECT_EQ(lastPosition, lastSize) << "phase 2 reports its progress to the end";

    audio::FileStream decoded(files.decodedSong, audio::FileStream::Mode::Read);
    audio::TdeRIFFAudioReader reader(decoded);
    EXPECT_TRUE(reader.format().isPcm());
    EXPECT_EQ(reader.format().samplesPerSec(), 22050u);
    EXPECT_EQ(reader.format().channels(), 2u);
    EXPECT_EQ(reader.format().bitsPerSample(), 16u);
    EXPECT_EQ(reader.dataStream().start(), 44);
    const std::int64_t frames = reader.dataStream().size() / 4;
    EXPECT_NEAR(double(frames), 44100.0, 64) << "two seconds at 22050 Hz";
    // The tone itself came through: 440 rising zero crossings a second in the left channel.
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
    reader.dataStream().read(samples.data(), static_cast<std::int64_t>(samples.size() * 2));
    int crossings = 0;
    for (std::size_t i = 2; i < samples.size(); i += 2)
        crossings += samples[i - 2] < 0 && samples[i] >= 0;
    EXPECT_NEAR(crossings, 880, 4);
    EXPECT_GT(std::filesystem::file_size(dir / "out.mp3"), 10000u) << "56 kbit/s for 2 s";
}

} // namespace
} // namespace cantorix::platform
