#pragma once
// Port: SongAudioDecoder. Adapter: platform/media/ffmpeg_song_decoder.h.
// The port through which the export decodes a song whose audio is not MPEG (Ogg, Opus, M4A,
// FLAC, WAV, …) straight to the PCM of its mix; MPEG audio keeps the conversion chain. The
// adapter lives in platform/; everything runs on the calling thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace cantorix::audio {

// A song whose audio cannot be opened for decoding; the message names the file.
class ESongAudioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One song being decoded to interleaved signed 16-bit PCM of a fixed rate and channel count.
class PcmSource {
public:
    virtual ~PcmSource() = default;
    // Up to maxFrames frames into out; 0 at the end. Damaged audio ends the song early.
    virtual std::size_t read(std::int16_t* out, std::size_t maxFrames) = 0;
    // About how many frames the whole song gives, for showing progress.
    virtual std::int64_t expectedFrames() const = 0;
};

class SongAudioDecoder {
public:
    virtual ~SongAudioDecoder() = default;
    // Whether the file's content is audio this decoder takes: a container it reads whose audio
    // is not MPEG. False for MPEG audio and for files it cannot read.
    virtual bool takes(const std::filesystem::path& song) = 0;
    // Throws ESongAudioError naming the file when it cannot be opened.
    virtual std::unique_ptr<PcmSource> open(const std::filesystem::path& song, int rate,
                                            int channels) = 0;
};

} // namespace cantorix::audio
