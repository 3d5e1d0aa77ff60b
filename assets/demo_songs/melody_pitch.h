#pragma once
// The pitch numbers of the demo songs, taken from the game's own pitch analysis: the lead voice
// is delivered to the analysis as the microphone's notifications would deliver it, and each note
// gets the sung value the analysis settles on while the note sounds. Build-time tool; pure
// functions, any thread (each call has its own analysis).

#include "tune.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace cantorix::assets::demo {

// One tick of the game's analysis: a 50 ms notification of 4410 bytes, then an analysis.
inline constexpr std::size_t kTickFrames = 2205;

// The sung value (255 for none) after each tick of mono 44100 Hz audio, delivered from its first
// sample on; the last tick may carry fewer frames.
std::vector<std::uint8_t> sungValuesPerTick(std::span<const std::int16_t> pcm);

// The ticks [first, end) whose analysis block, the newest 4096 samples, lies wholly inside the
// frames [firstFrame, endFrame) of audio that holds totalFrames frames.
struct TickSpan {
    std::size_t first = 0;
    std::size_t end = 0;
};
TickSpan ticksInside(std::size_t firstFrame, std::size_t endFrame, std::size_t totalFrames);

// The share of a note's settled ticks its written pitch must hold. A steady voice gets all of
// them; a pitch on the border between two candidates, or a vibrato wide enough to swing across
// one, splits them and falls short.
inline constexpr double kClearMajority = 0.75;

// The written pitch of every note of the tune, in the song's order: the sung value that most of
// the note's settled ticks report over the lead voice alone (its attack and the release of the
// note before it ignored). Throws std::runtime_error naming the song and the note when that
// value holds less than kClearMajority of the ticks or is no pitch at all, so that a melody the
// analysis cannot judge steadily never ships.
std::vector<int> melodyPitches(const Tune& tune);

} // namespace cantorix::assets::demo
