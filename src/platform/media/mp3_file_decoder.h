#pragma once
// One open MP3 file decoded through libmpg123 into interleaved stereo float frames at the
// file's own rate, with its exact length (encoder delay and padding removed when the file's
// tag states them) and sample-accurate seeking. Owns the file; one thread at a time.

#include "audio_file_decoder.h"

struct mpg123_handle_struct;

namespace cantorix::platform {

class Mp3FileDecoder : public AudioFileDecoder {
public:
    // Throws songs::EMediaPlayerError naming the file when it cannot be read or is not MP3.
    explicit Mp3FileDecoder(const std::filesystem::path& file);
    // The same over a file descriptor open for reading, which the decoder takes over.
    Mp3FileDecoder(const std::filesystem::path& file, int fd);
    ~Mp3FileDecoder() override;
    Mp3FileDecoder(const Mp3FileDecoder&) = delete;
    Mp3FileDecoder& operator=(const Mp3FileDecoder&) = delete;

    // Whether the regular file open on fd begins as an MP3 file does: its first frame (after
    // any ID3v2 tags) followed by another of the same kind, an ID3v1 tag or the end.
    static bool startsLikeMp3(int fd);

    int sampleRate() const override { return m_rate; }
    std::int64_t lengthFrames() const override { return m_length; }

    void seek(std::int64_t frame) override;
    // Damage past the start of the file ends it early.
    std::size_t read(float* out, std::size_t maxFrames) override;

private:
    void open();
    [[noreturn]] void fail(const std::string& reason) const;

    std::filesystem::path m_file;
    int m_fd = -1;
    mpg123_handle_struct* m_handle = nullptr;
    int m_rate = 0;
    std::int64_t m_length = 0;
};

} // namespace cantorix::platform
