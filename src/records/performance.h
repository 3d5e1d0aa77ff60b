#pragma once
// One singer's performance of one song: who, which song and voice, the points and when. Values
// only; any thread.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace cantorix::records {

// Which records a performance counts towards: the song's identity (songs/song_identity.h) and,
// for a duet, the voice sung (1 or 2); 0 for a song of one voice.
struct RecordKey {
    std::string song;
    int voice = 0;

    auto operator<=>(const RecordKey&) const = default;
};

struct Performance {
    std::int64_t id = 0; // 0 until stored
    // The player who sang; none for a guest and for a player removed with their performances
    // kept (singerName then says "removed player").
    std::optional<std::int64_t> playerId;
    // The name shown when it was sung (a player's current name is in the player's row).
    std::string singerName;
    // The game's colour value of the singer when it was sung.
    std::uint32_t colour = 0xFFFFFF;
    RecordKey key;
    // As the song file gave them, for lists and the export.
    std::string artist, title;
    // Where the song's folder was when it was sung; informational only.
    std::string folder;
    // 1 Easy, 2 Medium, 3 Hard (the options' difficulty when it was sung).
    int difficulty = 2;
    std::int32_t notePoints = 0, lineBonus = 0, goldenPoints = 0;
    std::int64_t total = 0;
    // The note points every judged note would have earned; 0 under the game format's rule.
    std::int32_t possible = 0;
    // notePoints / possible, 0 … 1; 0 when nothing was possible.
    double share = 0;
    // When the session started, in milliseconds since the epoch (UTC); every row of one session
    // has the same value.
    std::int64_t sungAtMs = 0;
    // How much of the song was sung, and how long the song is, in milliseconds.
    std::int64_t sungMs = 0;
    std::int64_t songMs = 0;
    // False for a session stopped before the song's end: kept, but never a record.
    bool finished = false;
    // The part of the song a medley sang: kept and counted as sung, but never a record of the
    // whole song.
    bool medleyPart = false;

    // Whether it may stand in the song's records and the singers' rankings.
    bool countsAsRecord() const { return finished && !medleyPart; }

    bool operator==(const Performance&) const = default;
};

} // namespace cantorix::records
