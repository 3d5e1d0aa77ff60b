#pragma once
// The pitch numbers of the demo songs: which sung value the game's pitch analysis reports for a
// steady tone. Build-time tool; pure functions.

#include <optional>

namespace cantorix::assets::demo {

// The sung value (the analysis's detected spectrum index minus one) for a clean steady tone of
// hz, or nothing when the tone lies so near the border between two candidate pitches, or so far
// above the highest, that the analysis could report either or nothing.
//
// The analysis tests 27 candidate pitches, each at the spectrum index nearest its frequency
// (10.77 Hz per index), but the spectrum it searches is shifted two indices up against the
// transform's bins, and its in-place running mean lets every index see its upper neighbour, so
// a peak between two indices leans about a third of an index down. A tone therefore wins the
// candidate whose index is nearest hz / 10.77 + 2 - 0.35: 220 Hz gives 21, not the 19 of the
// candidate tuned to 220 Hz. The 0.35 was fitted against a step-by-step model of the analysis
// on clean tones from 112 to 530 Hz; replace this function by a run of the real analysis over
// the synthesised note once the game's analysis can be linked here.
std::optional<int> sungValueForFrequency(double hz);

// Below this the semitones crowd into single spectrum indices and the singer's overtones, not
// only the fundamental, decide between neighbouring candidates (a clean 196 Hz tone gives 19,
// a voiced one 18), so melodies stay above it.
inline constexpr double kLowestUnambiguousMelodyHz = 215.0;

} // namespace cantorix::assets::demo
