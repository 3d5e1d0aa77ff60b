#pragma once
// The song file of a demo song, in the game's text format. Build-time tool; pure function.

#include "tune.h"

#include <string>
#include <vector>

namespace cantorix::assets::demo {

// Header tags, one note line per syllable with its pitch (pitches holds one per note, in the
// song's order), a line break between lyric lines and the end line; every line ended by CR LF
// as the game's own writers do. Throws std::runtime_error when the pitch count is wrong.
//
// Timing: the first note starts at beat 0 and "#GAP" holds the lead-in in milliseconds, so a
// note of start beat b begins at GAP + b * 15000 / BPM ms of the audio, which is where the
// synthesised melody sings it. A record lasts until the next one begins, so each line break
// stands at the beat where the line's last note ends: during the rest the break is due, not the
// note, and the break's window is never empty.
// A non-empty videoName adds the "#VIDEO" tag naming the song's clip.
std::string songText(const Tune& tune, const std::vector<int>& pitches, const std::string& mp3Name,
                     const std::string& videoName = {});

} // namespace cantorix::assets::demo
