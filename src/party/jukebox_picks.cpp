#include "jukebox_picks.h"

namespace cantorix::party {

std::optional<std::string> nextJukeboxSong(const JukeboxChoice& choice,
                                           const std::function<std::size_t(std::size_t)>& random) {
    const auto fresh = [&](const std::string& song) {
        const auto played = choice.playedAt.find(song);
        return played == choice.playedAt.end() ||
               choice.now - played->second >= kJukeboxRepeatSeconds;
    };
    for (const std::string& song : choice.queued)
        if (fresh(song))
            return song;
    std::vector<const std::string*> left;
    left.reserve(choice.library.size());
    for (const std::string& song : choice.library)
        if (fresh(song))
            left.push_back(&song);
    if (left.empty())
        return std::nullopt;
    return *left[random(left.size()) % left.size()];
}

} // namespace cantorix::party
