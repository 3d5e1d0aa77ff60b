#pragma once
// Encodes a demo song to MP3 with LAME: 128 kbit/s joint stereo, with the encoder's info frame
// so that decoders know the exact length and skip the encoder's delay and padding. Build-time
// tool; any thread, one encoder per call.

#include "synth_voices.h"

#include <filesystem>

namespace cantorix::assets::demo {

// Creates missing directories; throws std::runtime_error on failure.
void writeMp3(const StereoBuffer& audio, const std::filesystem::path& file);

} // namespace cantorix::assets::demo
