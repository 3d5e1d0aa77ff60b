#pragma once
// The fourth demo song, written in the standard song format rather than the game's own: a duet
// of two named singers taking turns line by line, with golden and freestyle notes, Ogg Vorbis
// audio, a PNG cover named by its tag, a background picture and a preview start. Build-time
// tool; pure functions.

#include "tune.h"

#include <string>
#include <vector>

namespace cantorix::assets::demo {

struct DuetSong {
    Tune tune;
    std::vector<int> voiceOfLine; // 1 or 2 for each lyric line
    std::vector<char> noteTypes;  // ':' normal, '*' golden, 'F' freestyle, one per note in order
    std::string singer1, singer2;
};

// The media files the song file names, all in the song's folder.
struct DuetMedia {
    std::string audio;
    std::string cover;
    std::string background;
};

DuetSong composeDuet();

// The song file: "#VERSION:1.0.0" (a beat is 15000 / BPM ms, #GAP in ms, #PREVIEWSTART in
// seconds), voice names in #P1 and #P2, the audio under both #AUDIO and #MP3 for older readers,
// then each voice's lines after its marker, with absolute beats from the first sung note and
// pitches in semitones from C4 as the lead voice sings them; lines end with CR LF.
std::string duetSongText(const DuetSong& duet, const DuetMedia& media);

} // namespace cantorix::assets::demo
