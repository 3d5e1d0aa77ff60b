#pragma once
// The named recording formats a wave-in component offers, and the format record and buffer
// size each one gives. Plain values, any thread.

#include "base/wave_format.h"

#include <cstdint>
#include <optional>

namespace cantorix::audio {

enum class TPCMFormat : std::uint8_t {
    nonePCM,
    Mono8Bit8000Hz,
    Stereo8bit8000Hz,
    Mono16bit8000Hz,
    Stereo16bit8000Hz,
    Mono8bit11025Hz,
    Stereo8bit11025Hz,
    Mono16bit11025Hz,
    Stereo16bit11025Hz,
    Mono8bit22050Hz,
    Stereo8bit22050Hz,
    Mono16bit22050Hz,
    Stereo16bit22050Hz,
    Mono8bit44100Hz,
    Stereo8bit44100Hz,
    Mono16bit44100Hz,
    Stereo16bit44100Hz,
    Mono8bit48000Hz,
    Stereo8bit48000Hz,
    Mono16bit48000Hz,
    Stereo16bit48000Hz,
};

// The PCM record a named format stands for; none for nonePCM.
std::optional<base::TWaveFormat> pcmFormatRecord(TPCMFormat format);

// Bytes of bufferLengthMs of audio in format, rounded up to whole blocks.
std::int32_t bufferBytes(const base::TWaveFormat& format, std::uint16_t bufferLengthMs);

} // namespace cantorix::audio
