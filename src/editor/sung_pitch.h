#pragma once
// The pitch a song note needs so that singing the MIDI melody scores: the sung value the pitch
// analysis reports for a clean tone of the note, after folding the note by octaves into the
// range the analysis can detect. Pure; the table is measured once, on first use, by analysing
// synthetic tones, so it follows the analysis exactly. Any thread.

#include <cstdint>

namespace cantorix::editor {

// The notes whose fundamentals the analysis' candidates cover (about 117 to 523 Hz).
inline constexpr int kLowestDetectableNote = 46;
inline constexpr int kHighestDetectableNote = 72;

// Moves a note number by whole octaves into kLowestDetectableNote … kHighestDetectableNote;
// notes already inside stay. Works for any integer, not only 0 … 127.
int foldIntoDetectableRange(int midiNote);

// The frequency of a note number in equal temperament, A4 (note 69) at 440 Hz.
double noteFrequency(int midiNote);

// The sung value of a clean tone at the folded note's frequency.
std::uint8_t sungValueOfNote(int midiNote);

} // namespace cantorix::editor
