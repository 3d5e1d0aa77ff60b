#pragma once
// What a finished or stopped session leaves in the records: one performance per singer, with the
// song's identity, the voice sung, the points and the time. A pure function over the session's
// outcomes; main thread only because its inputs live there.

#include "records/performance.h"
#include "singing_party.h"
#include "songs/medley_song.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cantorix::app {

struct SessionFacts {
    std::string artist, title, folder;
    // The song has two voices: the voice sung is part of each row's record key.
    bool duet = false;
    int difficulty = 2; // 1 Easy, 2 Medium, 3 Hard
    std::int64_t startedAtMs = 0;
    std::int64_t sungMs = 0, songMs = 0;
    // The song reached its end; a session stopped early never makes a record.
    bool finished = false;
    // At least one tick was judged; a session stopped before that leaves nothing.
    bool judged = false;
    // The medley sung; none for a song.
    const songs::MedleySong* medley = nullptr;
};

// What a singer reached in one song of a medley: the lines that start within its part.
struct MedleyPartTally {
    std::int32_t notePoints = 0, lineBonus = 0, goldenPoints = 0, possible = 0;
};
MedleyPartTally medleyPartTally(const session::Scoring& scoring,
                                const songs::MedleyStretch& stretch);

// One row per singer in singer order; none for a session that judged no tick. A medley leaves a
// row per singer for each of its songs, song after song, each of the lines sung in that song's
// part, marked as a medley part.
std::vector<records::Performance> sessionPerformances(const std::vector<SingerOutcome>& outcomes,
                                                      const SessionFacts& facts);

} // namespace cantorix::app
