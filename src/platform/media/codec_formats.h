#pragma once
// Which format records the codecs behind the conversion chain accept: consistent PCM, and
// MPEG audio at a rate and bit rate the MPEG standards have. Shared by the codecs and the codec
// manager so they agree. Plain functions, any thread.

#include "audio/wave_format.h"

#include <cstdint>

namespace cantorix::platform {

// PCM, 1 or 2 channels, 8 or 16 bits, 1000 … 384000 Hz, block align and byte rate as the
// rest implies.
inline bool isValidPcm(const audio::TdeWaveFormat& f) {
    const auto align = static_cast<std::uint32_t>(f.channels() * (f.bitsPerSample() / 8));
    return f.isPcm() && (f.channels() == 1 || f.channels() == 2) &&
           (f.bitsPerSample() == 8 || f.bitsPerSample() == 16) && f.samplesPerSec() >= 1000 &&
           f.samplesPerSec() <= 384000 && f.blockAlign() == align &&
           f.avgBytesPerSec() == f.samplesPerSec() * align;
}

// The sample rates of MPEG 1 and MPEG 2 audio.
inline bool isMpegRate(std::uint32_t rate) {
    switch (rate) {
    case 16000:
    case 22050:
    case 24000:
    case 32000:
    case 44100:
    case 48000:
        return true;
    default:
        return false;
    }
}

// MPEG layer 3 (or layers I and II under tag 80), 1 or 2 channels, an MPEG rate and a byte
// rate of a real bit rate (up to 448 kbit/s).
inline bool isValidMpeg(const audio::TdeWaveFormat& f) {
    return (f.formatTag() == audio::TdeWaveFormat::kTagMpegLayer3 || f.formatTag() == 80) &&
           (f.channels() == 1 || f.channels() == 2) && isMpegRate(f.samplesPerSec()) &&
           f.avgBytesPerSec() >= 1000 && f.avgBytesPerSec() <= 56000;
}

} // namespace cantorix::platform
