#include "records/record_statistics.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace cantorix::records {

namespace {

constexpr std::int64_t kWeekMs = 7LL * 24 * 60 * 60 * 1000;

// Sessions per song identity, shown under the artist and title last sung: a duet sung by two is
// one performance of the song, though it leaves a row for each singer (the rows of one session
// share their start).
class SongTally {
public:
    void count(const Performance& row) {
        SongCount& song = m_songs[row.key.song];
        if (m_sessions[row.key.song].insert(row.sungAtMs).second)
            ++song.times;
        song.artist = row.artist;
        song.title = row.title;
    }

    // Most sung first; equal counts in the identity's order, which is artist then title folded.
    std::vector<SongCount> mostSung(std::size_t listLength) const {
        std::vector<std::pair<std::string, SongCount>> ranked(m_songs.begin(), m_songs.end());
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
            return a.second.times > b.second.times;
        });
        std::vector<SongCount> out;
        for (std::size_t i = 0; i < ranked.size() && i < listLength; ++i)
            out.push_back(std::move(ranked[i].second));
        return out;
    }

private:
    std::map<std::string, SongCount> m_songs;
    std::map<std::string, std::set<std::int64_t>> m_sessions;
};

std::vector<SongBest> bestSongs(const std::map<RecordKey, const Performance*>& best,
                                std::size_t listLength) {
    std::vector<SongBest> out;
    out.reserve(best.size());
    for (const auto& [key, row] : best)
        out.push_back({row->artist, row->title, key.voice, row->total, row->share, row->sungAtMs});
    std::stable_sort(out.begin(), out.end(), [](const SongBest& a, const SongBest& b) {
        return a.total != b.total ? a.total > b.total : a.sungAtMs < b.sungAtMs;
    });
    if (out.size() > listLength)
        out.resize(listLength);
    return out;
}

// Finished performances accepted by `counts`, summed per singer: a player by id, guests (and
// removed players) by their name folded.
template <typename Filter>
std::vector<SingerRanking> rankSingers(const RecordBook& book, std::size_t listLength,
                                       Filter counts) {
    std::map<std::pair<std::optional<std::int64_t>, std::string>, SingerRanking> singers;
    for (const Performance& row : book.performances()) {
        if (!row.countsAsRecord() || !counts(row))
            continue;
        SingerRanking& singer =
            singers[{row.playerId, row.playerId ? std::string() : foldPlayerName(row.singerName)}];
        singer.playerId = row.playerId;
        singer.name = book.nameOf(row);
        singer.colour = book.colourOf(row);
        singer.total += row.total;
        ++singer.performances;
    }
    std::vector<SingerRanking> out;
    out.reserve(singers.size());
    for (auto& [key, singer] : singers)
        out.push_back(std::move(singer));
    std::sort(out.begin(), out.end(), [](const SingerRanking& a, const SingerRanking& b) {
        if (a.total != b.total)
            return a.total > b.total;
        if (a.performances != b.performances)
            return a.performances < b.performances;
        return a.name < b.name;
    });
    if (out.size() > listLength)
        out.resize(listLength);
    return out;
}

} // namespace

PlayerStatistics playerStatistics(const RecordBook& book, std::int64_t playerId,
                                  std::size_t listLength) {
    PlayerStatistics stats;
    stats.playerId = playerId;
    if (const Player* player = book.player(playerId)) {
        stats.name = player->name;
        stats.colour = player->colour;
    }
    std::set<std::int64_t> sessions;
    std::set<std::string> songs;
    SongTally tally;
    std::map<RecordKey, const Performance*> best;
    double shareSum = 0;
    std::int64_t shareCount = 0;
    for (const Performance& row : book.performances()) {
        if (row.playerId != playerId)
            continue;
        sessions.insert(row.sungAtMs);
        songs.insert(row.key.song);
        tally.count(row);
        stats.msSung += row.sungMs;
        if (!row.countsAsRecord())
            continue;
        if (row.possible > 0) {
            shareSum += row.share;
            ++shareCount;
        }
        // Nothing earned is no one's best.
        if (row.total <= 0)
            continue;
        const Performance*& top = best[row.key];
        if (!top || row.total > top->total ||
            (row.total == top->total && row.sungAtMs < top->sungAtMs))
            top = &row;
    }
    stats.sessions = static_cast<std::int64_t>(sessions.size());
    stats.songs = static_cast<std::int64_t>(songs.size());
    if (shareCount > 0)
        stats.averageShare = shareSum / static_cast<double>(shareCount);
    stats.bestSongs = bestSongs(best, listLength);
    stats.mostSung = tally.mostSung(listLength);
    return stats;
}

GameStatistics gameStatistics(const RecordBook& book, std::int64_t nowMs, std::size_t listLength) {
    GameStatistics stats;
    SongTally tally;
    for (const Performance& row : book.performances())
        tally.count(row);
    stats.mostSung = tally.mostSung(listLength);
    stats.topOfWeek = rankSingers(book, listLength, [&](const Performance& row) {
        return row.sungAtMs >= nowMs - kWeekMs && row.sungAtMs <= nowMs;
    });
    stats.topOfAllTime = rankSingers(book, listLength, [](const Performance&) { return true; });
    return stats;
}

} // namespace cantorix::records
