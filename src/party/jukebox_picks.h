#pragma once
// What the jukebox plays next: the queue's songs in their order first, then the library's at
// random, never a song that played within the hour. Pure: the caller gives the songs, when each
// played last and the random numbers.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::party {

// A song played this recently (seconds) is not played again.
inline constexpr std::int64_t kJukeboxRepeatSeconds = 60 * 60;

struct JukeboxChoice {
    // Song files: the queue's in its order, and the library's playable songs.
    std::vector<std::string> queued;
    std::vector<std::string> library;
    // When each song played last (seconds), by song file.
    std::map<std::string, std::int64_t> playedAt;
    std::int64_t now = 0;
};

// None when every song played within the hour. `random(n)` answers a number in [0, n).
std::optional<std::string> nextJukeboxSong(const JukeboxChoice& choice,
                                           const std::function<std::size_t(std::size_t)>& random);

} // namespace cantorix::party
