#pragma once
// The video plane's decoder over FFmpeg: the first video stream of the containers the game
// plays (AVI, MP4, WebM, Matroska, MPEG), frames converted to bottom-up 24-bit rows. Reads a
// regular file or bytes in memory through its own I/O callbacks, so no other file, protocol or
// playlist entry is ever opened. AVI frames are its chunks as today; in other containers frame i is
// the one shown at i frame periods of the stream's average rate after its start. Keeps the codec
// open between frames: the next frame decodes on from the last, a jump seeks to the nearest
// key frame before it and decodes forward. Main thread only; FFmpeg's log is silenced.

#include "session/video_decoder_port.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace cantorix::platform {

class FfmpegVideoDecoder : public session::VideoDecoder {
public:
    // Frames wider or higher than this are refused: the plane's mesh grows with the pixels.
    static constexpr int kMaxSide = 4096;

    FfmpegVideoDecoder();
    ~FfmpegVideoDecoder() override;
    FfmpegVideoDecoder(const FfmpegVideoDecoder&) = delete;
    FfmpegVideoDecoder& operator=(const FfmpegVideoDecoder&) = delete;

    bool open(const std::filesystem::path& file) override;
    // The same over bytes in memory, which must stay alive while the clip is open.
    bool openMemory(const std::uint8_t* data, std::size_t size);
    void close() override;
    session::VideoStreamInfo info() const override;
    bool frame(std::int64_t index, session::VideoFrame& frame) override;

    struct Clip;

private:
    bool openClip(std::unique_ptr<Clip> clip);

    std::unique_ptr<Clip> m_clip;
};

} // namespace cantorix::platform
