#pragma once
// Turns the capture's 44100 Hz mono 16-bit frames into another PCM format: any rate, 8 or 16
// bits, mono or stereo. Each capture consumer owns one, so the device runs in one format
// whatever its consumers want. Keeps the resampler state between calls. One thread.

#include "base/wave_format.h"
#include "resampler.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace cantorix::platform {

class PcmConverter {
public:
    // PCM, 8 or 16 bits, 1 or 2 channels, 1000 … 384000 Hz, with consistent block align and
    // byte rate.
    static bool supports(const base::TWaveFormat& target);

    // Throws std::invalid_argument for a format supports() refuses.
    explicit PcmConverter(const base::TWaveFormat& target);

    // Appends the converted bytes of count capture frames to out.
    void convert(const std::int16_t* frames, std::size_t count, std::vector<std::uint8_t>& out);

private:
    base::TWaveFormat m_target;
    MonoResampler m_resampler;
    std::vector<std::int16_t> m_resampled;
};

} // namespace cantorix::platform
