#pragma once
// Clean sine tones in the capture format, and what the pitch analysis makes of them: the
// sung value a tone of a given frequency scores as, for whoever needs to synthesise singing
// (demo songs, the editor's preview) or check it. Pure functions, any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cantorix::pitch {

// The peak amplitude of the probe tone: a clearly sung voice, well above the noise floor.
inline constexpr double kProbeTonePeak = 8000.0;

// count samples of peak · sin(2π · hz · n / 44100), n = 0, 1, …, rounded half to even and
// clipped to 16 bits, as 16-bit little-endian mono PCM.
std::vector<std::uint8_t> sineTonePcm(double hz, double peak, std::size_t count);

// The sung value (DetectedBin − 1 as a byte, 255 for none) that one full analysis block of a
// clean tone of kProbeTonePeak at hz yields. Roughly hz / 10.77 + 1, moved to the nearest value
// the candidates can report; 255 outside about 80 … 526 Hz.
std::uint8_t sungValueOfTone(double hz);

// The sung values the analysis can report for a voice, ascending: b1 − 1 of every candidate.
std::vector<std::uint8_t> possibleSungValues();

// A frequency whose clean tone scores sungValue, for any value possibleSungValues() holds: the
// centre of transform bin sungValue − 1, which lands on spectrum index sungValue + 1. The
// candidate pitches themselves score about two values higher (a 220 Hz tone scores 21, not 19),
// because the smoothing moves peaks up.
double toneFrequencyOfSungValue(std::uint8_t sungValue);

} // namespace cantorix::pitch
