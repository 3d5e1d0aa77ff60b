#pragma once
// The sung melody as a warm lead voice, as the demo songs place it in the mix, and the same
// voice alone as a singer's microphone would hear it: mono 44100 Hz 16-bit, in tune with the
// song file. Build-time tool and test aid; pure functions of the tune, any thread.

#include "synth_voices.h"
#include "tune.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace cantorix::assets::demo {

// How long after a note's start its own tone sounds alone: its attack and the release of the
// note before it have passed.
inline constexpr double kLeadSettleMs = 90.0;

void addLeadVoice(Mix& mix, const Tune& tune);

// The lead voice alone from the start of the song's audio to its end, its peak at -6 dBFS.
std::vector<std::int16_t> leadVoicePcm(const Tune& tune);

// leadVoicePcm as a WAV file (PCM, 44100 Hz, mono, 16-bit). Throws std::runtime_error when
// the file cannot be written.
void writeLeadVoiceWav(const Tune& tune, const std::filesystem::path& file);

} // namespace cantorix::assets::demo
