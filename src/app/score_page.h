#pragma once
// The score page after a session: one singer's figures on the page as it always was, or the
// ranked table of everyone who sang; and the hall-of-fame entries its Submit adds. Main thread
// only.

#include "game_scene.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::app {

// What one singer reached in a session, as the score page shows it.
struct SongShare {
    std::string title;
    std::string percent; // "92"; empty where the song's part had no possible points
};

struct SingerResult {
    std::string name;
    scene::TColor colour = scene::clWhite;
    std::int32_t notePoints = 0, lineBonus = 0;
    // The points of golden notes, for songs whose format has them.
    std::optional<std::int32_t> goldenPoints;
    std::int64_t total = 0;
    // The note points every judged note would have earned; 0 under the game's own rule.
    std::int32_t possible = 0;
    // What the total means against the records (records::RecordNews): the song's best ever, the
    // player's own best, and the player's best before this session.
    bool newSongRecord = false;
    bool personalBest = false;
    std::optional<std::int64_t> previousBest = std::nullopt;
    // A medley's: each song's share of its possible points, in the order sung; shown where a
    // song's record news would be.
    std::vector<SongShare> songShares = {};
};

// Where a singer stands: their index in the list given and their place (1 for the best; equal
// totals share a place, and the next place counts them all).
struct SingerRank {
    std::size_t singer = 0;
    int place = 0;
    bool operator==(const SingerRank&) const = default;
};

// Highest total first; equal totals keep the order given (slot order).
std::vector<SingerRank> rankSingers(const std::vector<SingerResult>& singers);

// Fills the page: with no singer (an unscored session) or one, the labels, share and gauge of
// the one-singer page (the name edit keeps what was typed) with the record news beside the
// total; with several, the ranked table of at most eight rows in place of them. The golden-note
// column shows when any singer's format has golden notes, the share column when any singer had
// possible points, the record column when any singer has news.
void fillScorePage(GameScene& game, const std::vector<SingerResult>& singers);

// The entries Submit adds to the hall of fame: with one singer or none, the total (0 for none)
// under the typed name, as ever; with several, one per singer under their own name, in the
// order given (one without a name as "Singer" and their place in it). Line breaks and other
// control characters in a singer's name become spaces, so an entry stays one line of Score.ini.
std::vector<std::string> hallOfFameEntries(const std::vector<SingerResult>& singers,
                                           std::string_view typedName);

// The news of a singer's total, a line each: "New song record", "Personal best",
// "Previous best 9,870"; none when nothing applies.
std::vector<std::string> recordNewsLines(const SingerResult& singer);

// Builds the table's heading and rows (hidden) on the score page; the scene calls it once.
void buildScoreTable(GameScene& game);

} // namespace cantorix::app
