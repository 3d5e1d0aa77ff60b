// The FFmpeg adapter over the demo clip the build draws (Motion JPEG in AVI, 640 × 480, 25 fps,
// 125 frames, a night harbour whose top-left corner is a dark blue of about R 12, G 22, B 58).

#include "platform/media/ffmpeg_video_decoder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace cantorix::platform {
namespace {

const std::filesystem::path kClip = CANTORIX_DEMO_VIDEO;

std::vector<std::uint8_t> readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FfmpegVideoDecoderTest : public ::testing::Test {
protected:
    session::VideoFrame frame(std::int64_t index) {
        session::VideoFrame f;
        EXPECT_TRUE(decoder.frame(index, f)) << "frame " << index;
        return f;
    }

    FfmpegVideoDecoder decoder;
};

TEST_F(FfmpegVideoDecoderTest, StreamHeaderGivesRateLengthAndSize) {
    ASSERT_TRUE(decoder.open(kClip));
    const session::VideoStreamInfo info = decoder.info();
    EXPECT_EQ(info.rate, 25u);
    EXPECT_EQ(info.scale, 1u);
    EXPECT_EQ(info.start, 0);
    EXPECT_EQ(info.length, 125);
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    decoder.close();
    EXPECT_EQ(decoder.info().length, 0);
}

TEST_F(FfmpegVideoDecoderTest, FramesAreBottomUpBlueGreenRedRows) {
    ASSERT_TRUE(decoder.open(kClip));
    const session::VideoFrame f = frame(0);
    ASSERT_EQ(f.width, 640);
    ASSERT_EQ(f.height, 480);
    ASSERT_EQ(f.rows.size(), 1920u * 480);
    // The picture's top row is the last one; its first pixel is the dark blue sky.
    const std::uint8_t* sky = f.pixel(0, 479);
    EXPECT_NEAR(sky[0], 58, 8);
    EXPECT_NEAR(sky[1], 22, 8);
    EXPECT_NEAR(sky[2], 12, 8);
    // The bottom row is water, greener and brighter than the sky.
    const std::uint8_t* water = f.pixel(0, 0);
    EXPECT_GT(water[1], sky[1] + 30);
}

TEST_F(FfmpegVideoDecoderTest, JumpsGiveTheSamePictureAsDecodingInOrder) {
    ASSERT_TRUE(decoder.open(kClip));
    FfmpegVideoDecoder inOrder;
    ASSERT_TRUE(inOrder.open(kClip));
    std::vector<session::VideoFrame> sequential;
    for (std::int64_t i = 0; i <= 100; ++i) {
        session::VideoFrame f;
        ASSERT_TRUE(inOrder.frame(i, f)) << i;
        sequential.push_back(std::move(f));
    }
    EXPECT_NE(sequential[0].rows, sequential[12].rows); // the picture moves
    EXPECT_EQ(frame(100).rows, sequential[100].rows);   // forward
    EXPECT_EQ(frame(3).rows, sequential[3].rows);       // backward
    EXPECT_EQ(frame(4).rows, sequential[4].rows);       // and on in order
    EXPECT_EQ(frame(124).width, 640);                   // the last frame
}

TEST_F(FfmpegVideoDecoderTest, IndexOutsideTheStreamLeavesThePictureAlone) {
    ASSERT_TRUE(decoder.open(kClip));
    session::VideoFrame f = frame(7);
    const std::vector<std::uint8_t> before = f.rows;
    EXPECT_FALSE(decoder.frame(125, f));
    EXPECT_FALSE(decoder.frame(-1, f));
    EXPECT_EQ(f.rows, before);
    EXPECT_EQ(frame(8).width, 640); // still decoding after the refusals
}

TEST_F(FfmpegVideoDecoderTest, ReadsTheSameClipFromMemory) {
    const std::vector<std::uint8_t> bytes = readFile(kClip);
    ASSERT_TRUE(decoder.openMemory(bytes.data(), bytes.size()));
    EXPECT_EQ(decoder.info().length, 125);
    FfmpegVideoDecoder fromFile;
    ASSERT_TRUE(fromFile.open(kClip));
    session::VideoFrame expected;
    ASSERT_TRUE(fromFile.frame(60, expected));
    EXPECT_EQ(frame(60).rows, expected.rows);
}

TEST_F(FfmpegVideoDecoderTest, MissingOrForeignFilesDoNotOpen) {
    EXPECT_FALSE(decoder.open(kClip.parent_path() / "no such clip.avi"));
    EXPECT_FALSE(decoder.open(kClip.parent_path())); // a directory
    EXPECT_FALSE(decoder.open(kClip.parent_path() / "cover.jpg"));
    session::VideoFrame f;
    EXPECT_FALSE(decoder.frame(0, f));
    EXPECT_TRUE(f.empty());
}

TEST_F(FfmpegVideoDecoderTest, GarbageAndTruncatedClipsGiveNoPicture) {
    std::vector<std::uint8_t> garbage(100000);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    EXPECT_FALSE(decoder.openMemory(garbage.data(), garbage.size()));

    // A RIFF AVI header that stops before any frame: no picture, whether or not it opens.
    const std::vector<std::uint8_t> clip = readFile(kClip);
    for (std::size_t cut : {std::size_t{12}, std::size_t{600}, std::size_t{4000}}) {
        const std::vector<std::uint8_t> head(clip.begin(), clip.begin() + static_cast<long>(cut));
        session::VideoFrame f;
        if (decoder.openMemory(head.data(), head.size())) {
            EXPECT_FALSE(decoder.frame(0, f)) << cut;
        }
        EXPECT_TRUE(f.empty()) << cut;
    }

    // Cut in the middle: the frames that arrived decode, the ones after the cut do not.
    const std::vector<std::uint8_t> half(clip.begin(),
                                         clip.begin() + static_cast<long>(clip.size() / 2));
    ASSERT_TRUE(decoder.openMemory(half.data(), half.size()));
    EXPECT_EQ(frame(10).width, 640);
    session::VideoFrame f = frame(11);
    EXPECT_FALSE(decoder.frame(120, f));
    EXPECT_EQ(f.width, 640);         // the previous picture stays
    EXPECT_EQ(frame(12).width, 640); // and decoding goes on after the failure
}

} // namespace
} // namespace cantorix::platform

namespace cantorix::platform {
namespace {

// The same pictures as MPEG-4 with key frames 25 frames apart and B-frames: a jump must find
// the key frame before it and decode forward through the reordered frames.
TEST(FfmpegVideoDecoderInterFramesTest, JumpsBetweenKeyFramesMatchDecodingInOrder) {
    const std::filesystem::path clip = std::filesystem::temp_directory_path() /
                                       ("cantorix-mpeg4-" + std::to_string(::getpid()) + ".avi");
    const std::string command = std::string("'") + CANTORIX_DEMO_VIDEO_MAKER + "' --mpeg4 '" +
                                clip.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    FfmpegVideoDecoder inOrder, jumping;
    ASSERT_TRUE(inOrder.open(clip));
    ASSERT_TRUE(jumping.open(clip));
    std::filesystem::remove(clip); // both hold it open
    EXPECT_EQ(inOrder.info().length, 125);
    std::vector<std::vector<std::uint8_t>> pictures;
    for (std::int64_t i = 0; i < 125; ++i) {
        session::VideoFrame f;
        ASSERT_TRUE(inOrder.frame(i, f)) << i;
        pictures.push_back(std::move(f.rows));
    }
    for (std::int64_t i : {60, 61, 24, 25, 26, 0, 124, 99, 100, 37}) {
        session::VideoFrame f;
        ASSERT_TRUE(jumping.frame(i, f)) << i;
        EXPECT_EQ(f.rows, pictures[static_cast<std::size_t>(i)]) << "frame " << i;
    }
    // The pictures really are different frames, in order: each lies nearest its neighbours.
    const auto distance = [](const std::vector<std::uint8_t>& a,
                             const std::vector<std::uint8_t>& b) {
        long sum = 0;
        for (std::size_t k = 0; k < a.size(); k += 97)
            sum += std::abs(int(a[k]) - int(b[k]));
        return sum;
    };
    for (std::size_t i = 30; i < 40; ++i)
        EXPECT_LT(distance(pictures[i], pictures[i + 1]), distance(pictures[i], pictures[i + 5]))
            << i;
}

} // namespace
} // namespace cantorix::platform

#include "platform/ffmpeg_test_files.h"
#include "platform/mp3_test_files.h"

namespace cantorix::platform {
namespace {

// Clips in containers that stamp frames with times: frame i is the one shown i periods after
// the start, at the stream's own rate, and a jump gives the picture that decoding in order gives.
TEST(FfmpegVideoDecoderContainersTest, TimedContainersNumberFramesByTheirRate) {
    testing::TempDir dir;
    struct Clip {
        const char* file;
        const char* source; // the test picture's frame rate
        const char* arguments;
        std::uint32_t rate, scale;
        std::int64_t length;
    };
    const Clip clips[] = {
        {"clip.webm", "25", "-c:v libvpx -g 10 -b:v 200k", 25, 1, 25},
        {"clip.mp4", "25", "-c:v libx264 -g 10 -bf 2 -pix_fmt yuv420p", 25, 1, 25},
        {"clip.mkv", "30000/1001", "-c:v mpeg4 -g 10", 30000, 1001, 30},
    };
    for (const Clip& c : clips) {
        SCOPED_TRACE(c.file);
        const auto file = testing::makeWithFfmpeg(
            std::string("-f lavfi -i testsrc=d=1:s=160x120:r=") + c.source + " " + c.arguments,
            dir / c.file);
        FfmpegVideoDecoder inOrder, jumping;
        ASSERT_TRUE(inOrder.open(file));
        ASSERT_TRUE(jumping.open(file));
        const session::VideoStreamInfo info = inOrder.info();
        EXPECT_EQ(info.rate, c.rate);
        EXPECT_EQ(info.scale, c.scale);
        EXPECT_EQ(info.length, c.length);
        EXPECT_EQ(info.width, 160);
        EXPECT_EQ(info.height, 120);
        std::vector<std::vector<std::uint8_t>> pictures;
        for (std::int64_t i = 0; i < info.length; ++i) {
            session::VideoFrame f;
            ASSERT_TRUE(inOrder.frame(i, f)) << i;
            pictures.push_back(std::move(f.rows));
        }
        EXPECT_NE(pictures.front(), pictures.back()) << "the test picture moves";
        for (std::int64_t i : {std::int64_t{12}, std::int64_t{3}, info.length - 1, std::int64_t{0},
                               std::int64_t{10}}) {
            session::VideoFrame f;
            ASSERT_TRUE(jumping.frame(i, f)) << i;
            EXPECT_EQ(f.rows, pictures[static_cast<std::size_t>(i)]) << "frame " << i;
        }
    }
}

} // namespace
} // namespace cantorix::platform
