#pragma once
// An audio file in a container the game plays (Ogg Vorbis, Opus, M4A/AAC, FLAC, WAV, Matroska,
// …) decoded through libavcodec and brought to stereo float by libswresample, at the stream's own
// rate. The length is the container's where it states the exact sample count and the file is
// large enough to hold it (one second a kilobyte at most); otherwise it is counted by decoding
// the file once at open. Seeks go through the container to a point before the target and decode
// forward to the sample. Owns the file; one thread at a time.

#include "audio_file_decoder.h"

#include <cstdio>

namespace cantorix::platform {

class FfmpegAudioDecoder : public AudioFileDecoder {
public:
    // Throws songs::EMediaPlayerError naming the file when FFmpeg cannot open it, it has no
    // audio stream FFmpeg decodes, or it is a bare MPEG audio stream (those are libmpg123's,
    // and one that did not pass its checks is not an MP3 file).
    explicit FfmpegAudioDecoder(const std::filesystem::path& file);
    // The same over a file already open for reading, which the decoder takes over.
    FfmpegAudioDecoder(const std::filesystem::path& file, std::FILE* opened);
    ~FfmpegAudioDecoder() override;
    FfmpegAudioDecoder(const FfmpegAudioDecoder&) = delete;
    FfmpegAudioDecoder& operator=(const FfmpegAudioDecoder&) = delete;

    int sampleRate() const override;
    std::int64_t lengthFrames() const override;
    void seek(std::int64_t frame) override;
    std::size_t read(float* out, std::size_t maxFrames) override;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace cantorix::platform
