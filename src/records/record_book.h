#pragma once
// Every stored performance in memory, indexed for what the screens ask while the ring turns: the
// best results of a song, a player's best of it, how often and how lately a song was sung. Built
// once from the store's snapshot (off the window thread), then added to after each session.
// A value: not thread-safe; the owner hands it across threads whole.

#include "records/performance.h"
#include "records/player.h"
#include "songs/song_catalog.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::records {

class RecordBook {
public:
    RecordBook();
    ~RecordBook();
    RecordBook(RecordBook&&) noexcept;
    RecordBook& operator=(RecordBook&&) noexcept;
    RecordBook(const RecordBook&);
    RecordBook& operator=(const RecordBook&);

    // Replaces everything known.
    void assign(std::vector<Player> players, std::vector<Performance> performances);
    // A stored session's rows (with their ids).
    void add(const std::vector<Performance>& session);
    // A player added or changed (by id).
    void putPlayer(const Player& player);
    // A player removed: their performances go too, or stay under "removed player".
    void removePlayer(std::int64_t id, bool deletePerformances);

    const std::vector<Player>& players() const;
    const Player* player(std::int64_t id) const;
    // The player whose name folds to the same as `name`; null when none does.
    const Player* playerNamed(std::string_view name) const;
    std::size_t performanceCount() const;
    // Every performance, oldest first.
    const std::vector<Performance>& performances() const;

    // The name a performance is listed under: its player's name now, else the name it was sung
    // under (a guest's, or "removed player").
    std::string nameOf(const Performance& performance) const;
    // Its colour: its player's colour now, else the colour it was sung in.
    std::uint32_t colourOf(const Performance& performance) const;

    // The n best finished performances of a song's voice, best first; equal totals by the
    // earlier performance first. Unfinished sessions never count.
    std::vector<Performance> best(const RecordKey& key, std::size_t n) const;
    // A player's best finished performance of a song's voice; none when they never finished it.
    std::optional<Performance> bestOf(const RecordKey& key, std::int64_t playerId) const;
    // How often a song (any voice) was sung, finished or not, and when last; what the song
    // orders "most sung" and "recently sung" sort by.
    songs::SongPopularity popularity(std::string_view songIdentity) const;

private:
    struct Index;
    void rebuildIndex();

    std::vector<Player> m_players;
    std::vector<Performance> m_performances;
    std::unique_ptr<Index> m_index;
};

} // namespace cantorix::records
