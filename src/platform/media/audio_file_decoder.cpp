#include "audio_file_decoder.h"

#include "base/regular_file.h"
#include "ffmpeg_audio_decoder.h"
#include "mp3_file_decoder.h"
#include "songs/media_player_port.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace cantorix::platform {

std::int64_t framesToMs(std::int64_t frames, int rate) {
    // Whole seconds and the rest apart: frames * 1000 alone overflows past 2^53 frames, which
    // a damaged header can state.
    return frames / rate * 1000 + frames % rate * 1000 / rate;
}

bool plausibleLength(std::int64_t frames, int rate, std::int64_t fileBytes) {
    if (frames < 0 || rate <= 0 || fileBytes <= 0)
        return false;
    const std::int64_t kilobytes = fileBytes / 1024;
    if (kilobytes > std::numeric_limits<std::int64_t>::max() / rate)
        return true; // no header can outgrow a file that large
    const std::int64_t maxFrames = kilobytes * rate + fileBytes % 1024 * rate / 1024;
    return frames <= maxFrames;
}

void failToPlay(const std::filesystem::path& file, const std::string& reason) {
    throw songs::EMediaPlayerError("Cannot play '" + file.string() + "': " + reason);
}

std::unique_ptr<AudioFileDecoder> openAudioFile(const std::filesystem::path& file) {
    std::string reason;
    base::UniqueFd fd = base::openRegularFile(file, reason);
    if (!fd)
        failToPlay(file, reason);
    // libmpg123 keeps MP3's exact lengths and sample-accurate positions; its strict check of
    // the first frames decides, whatever the file is called.
    if (Mp3FileDecoder::startsLikeMp3(fd.get()))
        return std::make_unique<Mp3FileDecoder>(file, fd.release());
    std::FILE* stream = ::fdopen(fd.get(), "rb");
    if (!stream)
        failToPlay(file, std::strerror(errno));
    fd.release();
    return std::make_unique<FfmpegAudioDecoder>(file, stream);
}

} // namespace cantorix::platform
