#pragma once
// Port: VideoDecoder. Adapter: platform/media/ffmpeg_video_decoder.h;
// fake: tests/fakes/fake_video_decoder.h.
// The port through which the video plane reads a clip: stream facts and frames by index, each
// frame a bottom-up 24-bit picture. One clip at a time; main thread only.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace cantorix::session {

// The facts of the clip's video stream as its header states them.
struct VideoStreamInfo {
    std::uint32_t rate = 0;  // frames per second times the scale
    std::uint32_t scale = 0; // (not used by the plane)
    std::int64_t start = 0;  // index of the first frame
    std::int64_t length = 0; // number of frames
    int width = 0, height = 0;
};

// A decoded picture: rows of blue, green, red bytes from the bottom row up, each row padded to
// a multiple of 4 bytes.
struct VideoFrame {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rows;

    static std::size_t strideOf(int width) {
        return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    }
    std::size_t stride() const { return strideOf(width); }
    bool empty() const { return width <= 0 || height <= 0 || rows.size() < stride() * height; }
    // Pixel at column x of row y counted from the bottom: its blue, green and red bytes.
    const std::uint8_t* pixel(int x, int y) const {
        return rows.data() + stride() * static_cast<std::size_t>(y) +
               static_cast<std::size_t>(x) * 3;
    }
};

class VideoDecoder {
public:
    virtual ~VideoDecoder() = default;

    // Closes the clip that is open, then opens the file's first video stream and its decoder.
    // False, with nothing open, when the file cannot be read, holds no video stream or its
    // codec cannot be decoded; never throws for a bad file.
    virtual bool open(const std::filesystem::path& file) = 0;
    virtual void close() = 0;
    // The open stream; all zero when nothing is open.
    virtual VideoStreamInfo info() const = 0;
    // Decodes frame `index` into `frame`. False, leaving `frame` as it was, when nothing is
    // open, the index lies outside the stream or the frame cannot be decoded.
    virtual bool frame(std::int64_t index, VideoFrame& frame) = 0;
};

// Makes a decoder for the video plane; the program's entry chooses the concrete one.
using VideoDecoderFactory = std::function<std::unique_ptr<VideoDecoder>()>;

} // namespace cantorix::session
