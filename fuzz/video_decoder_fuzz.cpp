// Feeds arbitrary bytes to the FFmpeg video adapter as an AVI clip: open, a few frames in order,
// a jump to the end and back. Every picture it delivers must be whole and of the stream's size;
// nothing may crash or hang.

#include "platform/media/ffmpeg_video_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const cantorix::session::VideoStreamInfo& info, const cantorix::session::VideoFrame& f) {
    if (f.width != info.width || f.height != info.height || f.empty() ||
        f.rows.size() != f.stride() * static_cast<std::size_t>(f.height))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cantorix::platform::FfmpegVideoDecoder decoder;
    if (!decoder.openMemory(data, size))
        return 0;
    const cantorix::session::VideoStreamInfo info = decoder.info();
    if (info.width <= 0 || info.height <= 0 || info.width > decoder.kMaxSide ||
        info.height > decoder.kMaxSide || info.length < 0)
        std::abort();
    cantorix::session::VideoFrame frame;
    for (std::int64_t index : {std::int64_t{0}, std::int64_t{1}, std::int64_t{2}, info.length - 1,
                               std::int64_t{1}, info.length})
        if (decoder.frame(index, frame))
            check(info, frame);
    return 0;
}
