#pragma once
// Encodes a demo song to Ogg Vorbis through libavcodec's libvorbis encoder, about 128 kbit/s;
// the last page's granule position states the exact length. Build-time tool; any thread, one
// encoder per call.

#include "synth_voices.h"

#include <filesystem>

namespace cantorix::assets::demo {

// Creates missing directories; writes a temporary file renamed into place when complete.
// Throws std::runtime_error on failure.
void writeOggVorbis(const StereoBuffer& audio, const std::filesystem::path& file);

} // namespace cantorix::assets::demo
