#pragma once
// The summaries of a generated library as the scan would give them, for the benchmarks that
// search it: names from LibraryNames, each song in a folder of its own with its song text.

#include "song_library_names.h"
#include "songs/song_catalog.h"

#include <string>
#include <vector>

namespace cantorix::bench {

inline std::vector<songs::SongSummary> generatedSummaries(std::size_t count) {
    LibraryNames names(7);
    std::vector<songs::SongSummary> all(count);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i].artist = names.artist();
        all[i].title = names.title();
        all[i].folder = "/songs/" + all[i].artist + "/Album/" + all[i].title + std::to_string(i);
        all[i].songFile = all[i].folder + "/song.txt";
    }
    return all;
}

} // namespace cantorix::bench
