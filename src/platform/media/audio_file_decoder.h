#pragma once
// A song's audio file decoded into interleaved stereo float frames at the file's own rate, with
// its exact length and sample-accurate seeking: the media player's source. openAudioFile()
// chooses the decoder by the file's content: MP3 through libmpg123, everything else through
// FFmpeg. A decoder owns its file; one thread at a time.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace cantorix::platform {

// frames * 1000 / rate rounded down, without overflow for any frame count (rate > 0).
std::int64_t framesToMs(std::int64_t frames, int rate);

class AudioFileDecoder {
public:
    virtual ~AudioFileDecoder() = default;

    virtual int sampleRate() const = 0;
    virtual std::int64_t lengthFrames() const = 0;
    // Whole milliseconds, rounded down: the last partial millisecond does not count.
    std::int64_t lengthMs() const { return framesToMs(lengthFrames(), sampleRate()); }

    // The next read() starts at this frame (clamped to 0 … length).
    virtual void seek(std::int64_t frame) = 0;
    // Decodes up to maxFrames frames into out (two samples each) and returns how many; 0 at
    // the end of the file. Never more than the length in all; damage ends the file early.
    virtual std::size_t read(float* out, std::size_t maxFrames) = 0;
};

// Whether a length a container's header states is believable for a file of fileBytes: at most
// one second of sound per kilobyte. A header that claims more is not taken at its word.
bool plausibleLength(std::int64_t frames, int rate, std::int64_t fileBytes);

// Opens the file with the decoder its content calls for. Throws songs::EMediaPlayerError naming
// the file when it cannot be read, is not a regular file (a named pipe is refused without
// waiting for a writer), holds no audio, or is damaged MPEG audio.
std::unique_ptr<AudioFileDecoder> openAudioFile(const std::filesystem::path& file);

// Throws songs::EMediaPlayerError "Cannot play '<file>': <reason>".
[[noreturn]] void failToPlay(const std::filesystem::path& file, const std::string& reason);

} // namespace cantorix::platform
