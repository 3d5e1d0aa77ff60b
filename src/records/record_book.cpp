#include "records/record_book.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace cantorix::records {

namespace {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

// A finished row as its song voice's ranking holds it: the figures that order it are kept beside
// its position, so sorting and inserting never reach into the rows themselves.
struct RankedRow {
    std::int64_t total;
    std::int64_t sungAtMs;
    std::uint32_t row;

    // Higher total first, then the earlier session, then the row stored first (the rows of one
    // session share their start time).
    bool operator<(const RankedRow& other) const {
        if (total != other.total)
            return total > other.total;
        return std::tie(sungAtMs, row) < std::tie(other.sungAtMs, other.row);
    }
};

} // namespace

// Positions in the book's rows, never pointers, so a copied book's index is right as it is.
struct RecordBook::Index {
    struct PlayerBest {
        std::int64_t playerId;
        RankedRow best;
    };
    struct VoiceRecords {
        int voice = 0;
        std::vector<RankedRow> ranked; // finished rows, best first
        std::vector<PlayerBest> playerBest;
    };
    struct SongRecords {
        songs::SongPopularity popularity;
        // The start of the session whose row was noted last: the rows of one session (a duet
        // sung by two leaves two) come together and count as one time sung.
        std::optional<std::int64_t> lastNotedSessionMs;
        std::vector<VoiceRecords> voices; // one for most songs, two for a duet
    };
    std::unordered_map<std::string, SongRecords, StringHash, std::equal_to<>> songs;

    const VoiceRecords* find(const RecordKey& key) const {
        const auto song = songs.find(key.song);
        if (song == songs.end())
            return nullptr;
        for (const VoiceRecords& voice : song->second.voices)
            if (voice.voice == key.voice)
                return &voice;
        return nullptr;
    }

    // Counts row `i` and, when finished, ranks it: at its place when `inOrder`, else at the end
    // for `finishRanking` to sort once.
    void note(const std::vector<Performance>& rows, std::uint32_t i, bool inOrder) {
        const Performance& row = rows[i];
        auto song = songs.find(row.key.song);
        if (song == songs.end())
            song = songs.emplace(row.key.song, SongRecords{}).first;
        songs::SongPopularity& sung = song->second.popularity;
        if (song->second.lastNotedSessionMs != row.sungAtMs)
            ++sung.timesSung;
        song->second.lastNotedSessionMs = row.sungAtMs;
        sung.lastSungAtMs = std::max(sung.lastSungAtMs, row.sungAtMs);
        if (!row.countsAsRecord())
            return;
        std::vector<VoiceRecords>& voices = song->second.voices;
        auto voice = std::find_if(voices.begin(), voices.end(),
                                  [&](const VoiceRecords& v) { return v.voice == row.key.voice; });
        if (voice == voices.end())
            voice = voices.insert(voices.end(), VoiceRecords{row.key.voice, {}, {}});
        const RankedRow ranked{row.total, row.sungAtMs, i};
        if (!inOrder) {
            voice->ranked.push_back(ranked);
            return;
        }
        voice->ranked.insert(std::upper_bound(voice->ranked.begin(), voice->ranked.end(), ranked),
                             ranked);
        if (!row.playerId)
            return;
        for (PlayerBest& best : voice->playerBest) {
            if (best.playerId == *row.playerId) {
                best.best = std::min(best.best, ranked);
                return;
            }
        }
        voice->playerBest.push_back({*row.playerId, ranked});
    }

    void finishRanking(const std::vector<Performance>& rows) {
        for (auto& [identity, song] : songs) {
            for (VoiceRecords& voice : song.voices) {
                std::sort(voice.ranked.begin(), voice.ranked.end());
                voice.playerBest.clear();
                for (const RankedRow& ranked : voice.ranked) {
                    const std::optional<std::int64_t>& id = rows[ranked.row].playerId;
                    if (id && std::none_of(voice.playerBest.begin(), voice.playerBest.end(),
                                           [&](const PlayerBest& b) { return b.playerId == *id; }))
                        voice.playerBest.push_back({*id, ranked});
                }
            }
        }
    }
};

RecordBook::RecordBook() : m_index(std::make_unique<Index>()) {}
RecordBook::~RecordBook() = default;
RecordBook::RecordBook(RecordBook&&) noexcept = default;
RecordBook& RecordBook::operator=(RecordBook&&) noexcept = default;

RecordBook::RecordBook(const RecordBook& other)
    : m_players(other.m_players), m_performances(other.m_performances),
      m_index(std::make_unique<Index>(other.m_index ? *other.m_index : Index{})) {}

RecordBook& RecordBook::operator=(const RecordBook& other) {
    if (this != &other) {
        RecordBook copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void RecordBook::assign(std::vector<Player> players, std::vector<Performance> performances) {
    std::sort(players.begin(), players.end(),
              [](const Player& a, const Player& b) { return a.id < b.id; });
    m_players = std::move(players);
    m_performances = std::move(performances);
    rebuildIndex();
}

void RecordBook::rebuildIndex() {
    auto index = std::make_unique<Index>();
    // Most libraries are sung in many songs a few times each; enough buckets for that spares
    // rehashing while the rows are counted.
    index->songs.reserve(m_performances.size() / 4 + 16);
    for (std::size_t i = 0; i < m_performances.size(); ++i)
        index->note(m_performances, static_cast<std::uint32_t>(i), false);
    index->finishRanking(m_performances);
    m_index = std::move(index);
}

void RecordBook::add(const std::vector<Performance>& session) {
    if (!m_index)
        rebuildIndex();
    for (const Performance& row : session) {
        m_performances.push_back(row);
        m_index->note(m_performances, static_cast<std::uint32_t>(m_performances.size() - 1), true);
    }
}

void RecordBook::putPlayer(const Player& player) {
    const auto at = std::lower_bound(m_players.begin(), m_players.end(), player.id,
                                     [](const Player& p, std::int64_t id) { return p.id < id; });
    if (at != m_players.end() && at->id == player.id)
        *at = player;
    else
        m_players.insert(at, player);
}

void RecordBook::removePlayer(std::int64_t id, bool deletePerformances) {
    std::erase_if(m_players, [&](const Player& p) { return p.id == id; });
    const auto sungByThem = [&](const Performance& row) { return row.playerId == id; };
    if (deletePerformances) {
        std::erase_if(m_performances, sungByThem);
    } else {
        for (Performance& row : m_performances) {
            if (sungByThem(row)) {
                row.playerId.reset();
                row.singerName = kRemovedPlayerName;
            }
        }
    }
    // Positions shift and the players' bests change; rare enough to count everything again.
    rebuildIndex();
}

const std::vector<Player>& RecordBook::players() const {
    return m_players;
}

const Player* RecordBook::player(std::int64_t id) const {
    const auto at =
        std::lower_bound(m_players.begin(), m_players.end(), id,
                         [](const Player& p, std::int64_t value) { return p.id < value; });
    return at != m_players.end() && at->id == id ? &*at : nullptr;
}

const Player* RecordBook::playerNamed(std::string_view name) const {
    const std::string folded = foldPlayerName(name);
    if (folded.empty())
        return nullptr;
    for (const Player& p : m_players)
        if (foldPlayerName(p.name) == folded)
            return &p;
    return nullptr;
}

std::size_t RecordBook::performanceCount() const {
    return m_performances.size();
}

const std::vector<Performance>& RecordBook::performances() const {
    return m_performances;
}

std::string RecordBook::nameOf(const Performance& performance) const {
    const Player* p = performance.playerId ? player(*performance.playerId) : nullptr;
    return p ? p->name : performance.singerName;
}

std::uint32_t RecordBook::colourOf(const Performance& performance) const {
    const Player* p = performance.playerId ? player(*performance.playerId) : nullptr;
    return p ? p->colour : performance.colour;
}

std::vector<Performance> RecordBook::best(const RecordKey& key, std::size_t n) const {
    const Index::VoiceRecords* voice = m_index ? m_index->find(key) : nullptr;
    if (!voice)
        return {};
    std::vector<Performance> out;
    const std::size_t count = std::min(n, voice->ranked.size());
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(m_performances[voice->ranked[i].row]);
    return out;
}

std::optional<Performance> RecordBook::bestOf(const RecordKey& key, std::int64_t playerId) const {
    const Index::VoiceRecords* voice = m_index ? m_index->find(key) : nullptr;
    if (!voice)
        return std::nullopt;
    for (const Index::PlayerBest& best : voice->playerBest)
        if (best.playerId == playerId)
            return m_performances[best.best.row];
    return std::nullopt;
}

songs::SongPopularity RecordBook::popularity(std::string_view songIdentity) const {
    if (!m_index)
        return {};
    const auto song = m_index->songs.find(songIdentity);
    return song == m_index->songs.end() ? songs::SongPopularity{} : song->second.popularity;
}

} // namespace cantorix::records
