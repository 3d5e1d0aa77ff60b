#pragma once
// Which songs a medley sings: the songs marked on the selection screen, in the order they were
// marked, or songs drawn at random from those that have a medley part, optionally only songs
// sung before or only duets. Pure; the caller's random source decides the draw.

#include "songs/medley_layout.h"
#include "songs/song_catalog.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace cantorix::selection {

using songs::kMedleyDefaultSongs;
using songs::kMedleyFewestSongs;
using songs::kMedleyMostSongs;

struct MedleyRequest {
    std::size_t songs = kMedleyDefaultSongs; // kept within the fewest and the most
    bool fromMarked = false;                 // else at random
    bool onlySungBefore = false;             // at random only
    bool onlyDuets = false;                  // at random only

    bool operator==(const MedleyRequest&) const = default;
};

// A song a medley can sing: a standard song that plays and has a medley part.
bool medleyCandidate(const songs::SongSummary& song);

struct MedleyPick {
    std::vector<std::size_t> songs; // indices into the library, in the order they are sung
    std::string problem;            // why no medley can start; empty when the songs were found
};

// random(n) returns an integer in 0 … n − 1. Marked songs are named by their song files; those
// that are no candidates are passed over. A draw at random takes as many as the request asks
// for when there are that many, else all there are; fewer than kMedleyFewestSongs is a problem.
MedleyPick pickMedleySongs(const std::vector<songs::SongSummary>& library,
                           const std::vector<std::string>& markedSongFiles,
                           const MedleyRequest& request,
                           const songs::SongPopularityLookup& popularity,
                           const std::function<std::size_t(std::size_t n)>& random);

} // namespace cantorix::selection
