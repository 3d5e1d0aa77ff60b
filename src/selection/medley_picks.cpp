#include "selection/medley_picks.h"

#include "songs/song_identity.h"

#include <algorithm>
#include <unordered_map>

namespace cantorix::selection {

bool medleyCandidate(const songs::SongSummary& song) {
    return song.format == songs::SongFormat::Standard && songs::playable(song) &&
           song.medley.source != songs::MedleySource::None;
}

MedleyPick pickMedleySongs(const std::vector<songs::SongSummary>& library,
                           const std::vector<std::string>& markedSongFiles,
                           const MedleyRequest& request,
                           const songs::SongPopularityLookup& popularity,
                           const std::function<std::size_t(std::size_t n)>& random) {
    const std::size_t wanted = std::clamp(request.songs, kMedleyFewestSongs, kMedleyMostSongs);
    MedleyPick pick;
    if (request.fromMarked) {
        std::unordered_map<std::string_view, std::size_t> bySongFile;
        for (std::size_t i = 0; i < library.size(); ++i)
            bySongFile.emplace(library[i].songFile, i);
        for (const std::string& file : markedSongFiles) {
            const auto found = bySongFile.find(file);
            if (found != bySongFile.end() && medleyCandidate(library[found->second]) &&
                std::find(pick.songs.begin(), pick.songs.end(), found->second) == pick.songs.end())
                pick.songs.push_back(found->second);
            if (pick.songs.size() == wanted)
                break;
        }
        if (pick.songs.size() < kMedleyFewestSongs) {
            pick.problem = "Mark at least 3 songs that have a medley part (Insert marks the song "
                           "shown); " +
                           std::to_string(pick.songs.size()) + " of the marked songs can be sung.";
            pick.songs.clear();
        }
        return pick;
    }
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < library.size(); ++i) {
        const songs::SongSummary& song = library[i];
        if (!medleyCandidate(song) || (request.onlyDuets && !song.duet))
            continue;
        if (request.onlySungBefore &&
            (!popularity ||
             popularity(songs::songIdentity(song.artist, song.title)).timesSung == 0))
            continue;
        candidates.push_back(i);
    }
    if (candidates.size() < kMedleyFewestSongs) {
        pick.problem = "Only " + std::to_string(candidates.size()) + " song" +
                       (candidates.size() == 1 ? "" : "s") + " of the library " +
                       (request.onlyDuets ? "(duets) " : "") +
                       (request.onlySungBefore ? "(sung before) " : "") +
                       "can be sung in a medley: a medley needs 3 songs that play and have a "
                       "medley part.";
        return pick;
    }
    // A partial shuffle: each place takes one of the songs not drawn yet.
    for (std::size_t k = 0; k < std::min(wanted, candidates.size()); ++k) {
        const std::size_t j = k + random(candidates.size() - k);
        std::swap(candidates[k], candidates[j]);
        pick.songs.push_back(candidates[k]);
    }
    return pick;
}

} // namespace cantorix::selection
