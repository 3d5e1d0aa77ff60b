#pragma once
// A medley sung as one song: the parts of several standard songs moved onto the medley's own
// clock (songs/medley_layout.h) and joined into one standard song, so the session sings, judges,
// scores and shows a medley exactly as it does a song. Each song's first line shows from the
// start of its lead-in, so its words and the countdown to its first note are on screen while
// its music fades in. Pure; no files are read.

#include "songs/medley_layout.h"
#include "songs/medley_part.h"
#include "songs/standard_song.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cantorix::songs {

// One song of a medley, as read.
struct MedleyPiece {
    StandardSong song;
    MedleyPart part;
    std::filesystem::path audio;
    std::int64_t audioLengthMs = 0;
    std::filesystem::path video = {}, background = {}; // empty: none
};

// Where one song of the medley is sung, in medley time.
struct MedleyStretch {
    std::string artist, title;
    double partFromMs = 0; // its first note
    double partToMs = 0;   // the end of its last
    std::filesystem::path video, background;
    double videoGapMs = 0;          // the song's own: its clip runs this far ahead of its music
    std::int64_t songMsAtStart = 0; // song time of its music where its segment starts
    std::size_t voices = 1;         // the song's own: a duet's parts are kept by voice
    std::string audioFolder;        // where its music is, as the records keep it
};

struct MedleySong {
    // In medley time, titled "Medley (N)" with its songs' titles for its artist; as many voices
    // as the medley's song with the most.
    StandardSong song;
    std::vector<MedleySegment> segments;
    std::vector<std::filesystem::path> audioFiles; // one per segment
    std::vector<MedleyStretch> stretches;          // one per segment
};

// How fine the medley's beat is: notes keep their song's timing to a tenth of a millisecond.
inline constexpr double kMedleyBeatMs = 0.1;

// "Medley (5)": the name the medley is sung and kept under.
std::string medleyName(std::size_t songCount);

// Joins the pieces in order. Voice v of the medley sings voice v of each song that has it and
// the first voice of each song that has fewer, so a duet in a medley is sung by voice and
// everyone sings a solo song.
MedleySong buildMedleySong(const std::vector<MedleyPiece>& pieces, const MedleyTiming& timing = {});

} // namespace cantorix::songs
