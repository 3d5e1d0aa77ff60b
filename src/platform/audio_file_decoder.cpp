#include "audio_file_decoder.h"

#include "platform/ffmpeg_audio_decoder.h"
#include "platform/mp3_file_decoder.h"
#include "songs/media_player.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::platform {

void failToPlay(const std::filesystem::path& file, const std::string& reason) {
    throw songs::EMediaPlayerError("Cannot play '" + file.string() + "': " + reason);
}

std::unique_ptr<AudioFileDecoder> openAudioFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        failToPlay(file, std::strerror(errno));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        failToPlay(file, "not a file");
    }
    // libmpg123 keeps MP3's exact lengths and sample-accurate positions; its strict check of
    // the first frames decides, whatever the file is called.
    if (Mp3FileDecoder::startsLikeMp3(fd))
        return std::make_unique<Mp3FileDecoder>(file, fd);
    std::FILE* stream = ::fdopen(fd, "rb");
    if (!stream) {
        const int error = errno;
        ::close(fd);
        failToPlay(file, std::strerror(error));
    }
    return std::make_unique<FfmpegAudioDecoder>(file, stream);
}

} // namespace cantorix::platform
