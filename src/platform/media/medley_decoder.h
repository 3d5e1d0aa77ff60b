#pragma once
// A medley's music as one decoder: each song's stretch of audio (songs/medley_layout.h) read
// from its own file, converted to the first song's rate when its rate differs, faded in and out
// with equal-power curves and mixed where two stretches overlap, so the media player plays the
// whole medley as one stream and the music never stops between songs. Every file is opened when
// the medley is made, so nothing is read from a new file's header between two songs. One thread
// at a time, as every decoder.

#include "platform/media/audio_file_decoder.h"
#include "songs/medley_layout.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace cantorix::platform {

class StereoResampler;

class MedleyDecoder : public AudioFileDecoder {
public:
    // One audio file per segment, in the same order. Throws songs::EMediaPlayerError naming the
    // first file that cannot be played, and std::invalid_argument when the counts differ or
    // there is no segment.
    MedleyDecoder(const std::vector<std::filesystem::path>& audioFiles,
                  std::vector<songs::MedleySegment> segments);
    ~MedleyDecoder() override;
    MedleyDecoder(const MedleyDecoder&) = delete;
    MedleyDecoder& operator=(const MedleyDecoder&) = delete;

    int sampleRate() const override { return m_rate; }
    std::int64_t lengthFrames() const override { return m_lengthFrames; }
    void seek(std::int64_t frame) override;
    std::size_t read(float* out, std::size_t maxFrames) override;

    const std::vector<songs::MedleySegment>& segments() const { return m_segments; }

private:
    struct Stretch;
    // Fills frames of stretch s from its offset on (frames of the medley's rate since the
    // stretch began), repositioning it first when it is not there.
    void pull(Stretch& s, std::int64_t offset, float* out, std::size_t frames);

    std::vector<songs::MedleySegment> m_segments;
    std::vector<std::unique_ptr<Stretch>> m_stretches;
    int m_rate = 0;
    std::int64_t m_lengthFrames = 0;
    std::int64_t m_position = 0;
    std::vector<float> m_mix;
};

} // namespace cantorix::platform
