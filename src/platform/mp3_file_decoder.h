#pragma once
// One open MP3 file decoded through libmpg123 into interleaved stereo float frames at the
// file's own rate, with its exact length (encoder delay and padding removed when the file's
// tag states them) and sample-accurate seeking. Owns the file; one thread at a time.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

struct mpg123_handle_struct;

namespace cantorix::platform {

class Mp3FileDecoder {
public:
    // Throws songs::EMediaPlayerError naming the file when it cannot be read or is not MP3.
    explicit Mp3FileDecoder(const std::filesystem::path& file);
    ~Mp3FileDecoder();
    Mp3FileDecoder(const Mp3FileDecoder&) = delete;
    Mp3FileDecoder& operator=(const Mp3FileDecoder&) = delete;

    int sampleRate() const { return m_rate; }
    std::int64_t lengthFrames() const { return m_length; }
    // Whole milliseconds, rounded down: the last partial millisecond does not count.
    std::int64_t lengthMs() const { return m_length * 1000 / m_rate; }

    // The next read() starts at this frame (clamped to 0 … length).
    void seek(std::int64_t frame);
    // Decodes up to maxFrames frames into out (two samples each) and returns how many; 0 at
    // the end of the file. Damage past the start of the file ends it early.
    std::size_t read(float* out, std::size_t maxFrames);

private:
    [[noreturn]] void fail(const std::string& reason) const;

    std::filesystem::path m_file;
    int m_fd = -1;
    mpg123_handle_struct* m_handle = nullptr;
    int m_rate = 0;
    std::int64_t m_length = 0;
};

} // namespace cantorix::platform
