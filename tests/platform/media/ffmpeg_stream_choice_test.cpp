// The opening the three FFmpeg readers share, over files that hold several streams: each reader
// finds the stream of its own kind (the video decoder never takes a cover picture for a clip,
// the audio readers never take a clip for sound) and says why when there is none.

#include "platform/ffmpeg_test_files.h"
#include "platform/media/ffmpeg_audio_decoder.h"
#include "platform/media/ffmpeg_song_decoder.h"
#include "platform/media/ffmpeg_video_decoder.h"
#include "platform/mp3_test_files.h"
#include "songs/media_player_port.h"

#include <gtest/gtest.h>
#include <string>

namespace cantorix::platform {
namespace {

using testing::TempDir;

// What each reader makes of one file: the audio decoder's refusal (empty when it plays),
// whether the export's decoder takes it, and the clip width the video decoder finds (0: none).
struct StreamChoiceCase {
    const char* name;
    std::string ffmpegArguments;
    const char* audioRefusal;
    bool songDecoderTakes;
    int videoWidth;
};

std::string audioRefusal(const std::filesystem::path& file) {
    try {
        FfmpegAudioDecoder decoder(file);
        return decoder.lengthFrames() > 0 ? "" : "no length";
    } catch (const songs::EMediaPlayerError& error) {
        return error.what();
    }
}

TEST(FfmpegStreamChoiceTest, EachReaderFindsItsOwnKindOfStream) {
    TempDir dir;
    testing::makeWithFfmpeg("-f lavfi -i testsrc=size=40x30 -frames:v 1", dir / "cover.png");
    const std::string tone = "-f lavfi -i sine=f=440:d=0.5 ";
    const std::string clip = "-f lavfi -i testsrc=size=32x24:rate=5:duration=1 ";
    const StreamChoiceCase cases[] = {
        {"tone_and_clip.mkv", tone + clip + "-c:a flac -c:v mjpeg", "", true, 32},
        {"clip_before_tone.mkv", clip + tone + "-c:v mjpeg -c:a flac", "", true, 32},
        {"clip.avi", clip + "-c:v mjpeg", "it holds no audio stream", false, 32},
        {"tone_with_cover.m4a",
         tone + "-i '" + (dir / "cover.png").string() +
             "' -map 0 -map 1 -c:a aac -c:v png -disposition:v attached_pic",
         "", true, 0},
        // FFmpeg plays MPEG audio in any container, but the export converts it in its own chain.
        {"mpeg_in_matroska.mkv", tone + "-c:a mp2", "", false, 0},
        {"bare_mpeg.mp2", tone + "-c:a mp2 -f mp2", "not an MP3 file", false, 0},
    };
    for (const StreamChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path file = testing::makeWithFfmpeg(c.ffmpegArguments, dir / c.name);
        const std::string expected =
            *c.audioRefusal ? "Cannot play '" + file.string() + "': " + c.audioRefusal : "";
        EXPECT_EQ(audioRefusal(file), expected);
        EXPECT_EQ(FfmpegSongDecoder().takes(file), c.songDecoderTakes);
        FfmpegVideoDecoder video;
        EXPECT_EQ(video.open(file), c.videoWidth > 0);
        EXPECT_EQ(video.info().width, c.videoWidth);
    }
}

} // namespace
} // namespace cantorix::platform
