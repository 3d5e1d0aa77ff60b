#pragma once
// The statistics screen's figures, per player and for the whole game, computed from the book.
// Pure functions; any thread.

#include "records/record_book.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::records {

struct SongCount {
    std::string artist, title;
    std::int64_t times = 0;
};

struct SongBest {
    std::string artist, title;
    int voice = 0;
    std::int64_t total = 0;
    double share = 0;
    std::int64_t sungAtMs = 0;
};

struct PlayerStatistics {
    std::int64_t playerId = 0;
    std::string name;
    std::uint32_t colour = 0xFFFFFF;
    std::int64_t sessions = 0; // sessions they sang in, finished or not
    std::int64_t songs = 0;    // distinct songs (any voice)
    std::int64_t msSung = 0;   // time sung in all
    // The mean share of their finished performances of songs with possible points; none when
    // there is no such performance.
    std::optional<double> averageShare;
    std::vector<SongBest> bestSongs; // their best finished totals, best first, one per song voice
    std::vector<SongCount> mostSung; // most performances first; ties by artist, title
};

struct SingerRanking {
    std::optional<std::int64_t> playerId; // none: a guest or a removed player
    std::string name;
    std::uint32_t colour = 0xFFFFFF;
    std::int64_t total = 0;        // the points of their finished performances in the period
    std::int64_t performances = 0; // their finished performances in the period
};

struct GameStatistics {
    std::vector<SongCount> mostSung;
    std::vector<SingerRanking> topOfWeek; // the seven days before `nowMs`
    std::vector<SingerRanking> topOfAllTime;
};

// At most `listLength` entries in each list.
PlayerStatistics playerStatistics(const RecordBook& book, std::int64_t playerId,
                                  std::size_t listLength = 5);
// Singers are ranked by the points of their finished performances, then by fewer performances,
// then by name; guests under the same name are one singer.
GameStatistics gameStatistics(const RecordBook& book, std::int64_t nowMs,
                              std::size_t listLength = 5);

} // namespace cantorix::records
