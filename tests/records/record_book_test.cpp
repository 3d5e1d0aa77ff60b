#include "records/record_book.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>

using namespace cantorix::records;

namespace {

std::string songName(std::uint32_t n) {
    return "artist\x1fsong " + std::to_string(n);
}

// Sessions of one to four singers (players 1–6 and guests) over 40 songs, a third of them duets,
// with few distinct totals so that ties are common.
std::vector<Performance> sessions(std::mt19937& random, int count, std::int64_t& at) {
    std::vector<Performance> rows;
    for (int s = 0; s < count; ++s) {
        at += 1 + random() % 3;
        const std::uint32_t song = random() % 40;
        for (std::uint32_t i = 0, singers = 1 + random() % 4; i < singers; ++i) {
            Performance& p = rows.emplace_back();
            if (const std::int64_t who = random() % 8; who < 6)
                p.playerId = who + 1;
            p.key = {songName(song), song % 3 ? 0 : 1 + static_cast<int>(random() % 2)};
            p.total = static_cast<std::int64_t>(random() % 20) * 500;
            p.sungAtMs = at;
            p.finished = random() % 5 != 0;
        }
    }
    return rows;
}

void expectAgreesWithScan(const RecordBook& book, const std::vector<Performance>& rows) {
    ASSERT_EQ(book.performances(), rows);
    for (std::uint32_t song = 0; song <= 40; ++song) {
        // A song is sung once a session, however many sang it.
        cantorix::songs::SongPopularity sung;
        std::set<std::int64_t> starts;
        for (const Performance& p : rows) {
            if (p.key.song == songName(song) && starts.insert(p.sungAtMs).second)
                sung = {sung.timesSung + 1, std::max(sung.lastSungAtMs, p.sungAtMs)};
        }
        EXPECT_EQ(book.popularity(songName(song)), sung);
        for (int voice = 0; voice <= 2; ++voice) {
            const RecordKey key{songName(song), voice};
            std::vector<Performance> ranked;
            std::copy_if(rows.begin(), rows.end(), std::back_inserter(ranked),
                         [&](const Performance& p) { return p.finished && p.key == key; });
            std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
                return a.total != b.total ? a.total > b.total : a.sungAtMs < b.sungAtMs;
            });
            EXPECT_EQ(book.best(key, 1000), ranked);
            for (std::int64_t player = 1; player <= 7; ++player) {
                const auto own = std::find_if(ranked.begin(), ranked.end(),
                                              [&](const auto& p) { return p.playerId == player; });
                EXPECT_EQ(book.bestOf(key, player),
                          own == ranked.end() ? std::nullopt : std::optional(*own));
            }
            ranked.resize(std::min<std::size_t>(ranked.size(), 3));
            EXPECT_EQ(book.best(key, 3), ranked);
        }
    }
}

} // namespace

TEST(RecordBookTest, AnswersAsAScanOfEveryRowDoesThroughAddsRemovalsAndCopies) {
    std::mt19937 random(20240611);
    std::int64_t at = 0;
    std::vector<Performance> rows = sessions(random, 1200, at);
    RecordBook book;
    book.assign({{2, "Bo", 0xFF, "", 0}, {1, "Anna", 0xFF00, "", 0}}, rows);
    expectAgreesWithScan(book, rows);
    for (int s = 0; s < 300; ++s) {
        const std::vector<Performance> session = sessions(random, 1, at);
        book.add(session);
        rows.insert(rows.end(), session.begin(), session.end());
    }
    expectAgreesWithScan(book, rows);
    book.putPlayer({1, "Anna Lind", 0xFF0000, "", 0});
    EXPECT_EQ(book.playerNamed(" ANNA lind")->id, 1);

    const RecordBook before = book;
    const std::vector<Performance> rowsBefore = rows;
    book.removePlayer(1, false);
    for (Performance& p : rows) {
        if (p.playerId == 1) {
            p.playerId.reset();
            p.singerName = kRemovedPlayerName;
        }
    }
    EXPECT_EQ(book.playerNamed("Anna Lind"), nullptr);
    expectAgreesWithScan(book, rows);
    book.removePlayer(2, true);
    std::erase_if(rows, [](const Performance& p) { return p.playerId == 2; });
    expectAgreesWithScan(book, rows);
    expectAgreesWithScan(before, rowsBefore);
    const RecordBook moved = std::move(book);
    expectAgreesWithScan(moved, rows);
}
