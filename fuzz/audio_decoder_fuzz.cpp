// Feeds arbitrary bytes to the FFmpeg audio decoder as a song's audio file: it either refuses
// the file with the player's error or opens it with a length the file could hold (a header's
// claim beyond one second per kilobyte is counted by decoding), reads never run past that
// length, and seeks land inside it. Nothing may crash, overflow or hang.

#include "platform/media/audio_file_decoder.h"
#include "platform/media/ffmpeg_audio_decoder.h"
#include "songs/media_player_port.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cantorix::platform;
    if (size == 0)
        return 0;
    std::FILE* file = ::fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file)
        return 0;
    try {
        FfmpegAudioDecoder decoder("fuzz.ogg", file);
        const std::int64_t length = decoder.lengthFrames();
        if (length <= 0 || decoder.sampleRate() <= 0 || decoder.lengthMs() < 0)
            std::abort();
        std::vector<float> block(4096 * 2);
        std::int64_t total = 0;
        for (int i = 0; i < 64; ++i) {
            const std::size_t n = decoder.read(block.data(), 4096);
            if (n == 0)
                break;
            total += static_cast<std::int64_t>(n);
        }
        if (total > length)
            std::abort();
        // A length the header alone could not vouch for was counted, so it all plays.
        if (!plausibleLength(length, decoder.sampleRate(), static_cast<std::int64_t>(size)) &&
            total < length && total < 64 * 4096)
            std::abort();
        for (std::int64_t frame : {length / 2, std::int64_t{0}, length - 1, length + 5}) {
            decoder.seek(frame);
            if (static_cast<std::int64_t>(decoder.read(block.data(), 16)) > length - frame &&
                frame <= length)
                std::abort();
        }
    } catch (const cantorix::songs::EMediaPlayerError&) {
    }
    return 0;
}
