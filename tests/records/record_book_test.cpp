#include "records/record_book.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace cantorix::records;

namespace {

// Sessions of one to four singers over a few songs and voices, with totals in a narrow range so
// that ties are common; players 1–6 and guests.
std::vector<Performance> generateSessions(std::mt19937& random, int sessions, std::int64_t& at) {
    std::vector<Performance> rows;
    for (int s = 0; s < sessions; ++s) {
        at += 1 + static_cast<std::int64_t>(random() % 3);
        const std::string song = "artist\x1fsong " + std::to_string(random() % 40);
        const int voices = static_cast<int>(random() % 3); // 0: one voice; else a duet
        const int singers = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < singers; ++i) {
            Performance p;
            const std::int64_t who = random() % 8;
            if (who < 6)
                p.playerId = who + 1;
            p.singerName = "guest " + std::to_string(who);
            p.key = {song, voices == 0 ? 0 : 1 + static_cast<int>(random() % 2)};
            p.total = static_cast<std::int64_t>(random() % 20) * 500;
            p.finished = random() % 5 != 0;
            p.sungAtMs = at;
            rows.push_back(p);
        }
    }
    return rows;
}

void expectAgreesWithScan(const RecordBook& book, const std::vector<Performance>& rows) {
    ASSERT_EQ(book.performances(), rows);
    for (int song = 0; song < 41; ++song) {
        const std::string identity = "artist\x1fsong " + std::to_string(song);
        cantorix::songs::SongPopularity sung;
        for (const Performance& p : rows) {
            if (p.key.song == identity) {
                ++sung.timesSung;
                sung.lastSungAtMs = std::max(sung.lastSungAtMs, p.sungAtMs);
            }
        }
        EXPECT_EQ(book.popularity(identity), sung) << identity;
        for (int voice = 0; voice <= 2; ++voice) {
            const RecordKey key{identity, voice};
            std::vector<Performance> ranked;
            std::copy_if(rows.begin(), rows.end(), std::back_inserter(ranked),
                         [&](const Performance& p) { return p.finished && p.key == key; });
            std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
                return a.total != b.total ? a.total > b.total : a.sungAtMs < b.sungAtMs;
            });
            EXPECT_EQ(book.best(key, 1000), ranked);
            const std::vector<Performance> top(
                ranked.begin(), ranked.begin() + std::min<std::size_t>(3, ranked.size()));
            EXPECT_EQ(book.best(key, 3), top);
            for (std::int64_t player = 1; player <= 7; ++player) {
                const auto own = std::find_if(ranked.begin(), ranked.end(),
                                              [&](const auto& p) { return p.playerId == player; });
                EXPECT_EQ(book.bestOf(key, player),
                          own == ranked.end() ? std::nullopt : std::optional(*own));
            }
        }
    }
}

} // namespace

TEST(RecordBookTest, AnswersAsAScanOfEveryRowDoesThroughAddsRemovalsAndCopies) {
    std::mt19937 random(20240611);
    std::int64_t at = 0;
    std::vector<Performance> rows = generateSessions(random, 1200, at);
    std::vector<Player> players;
    for (std::int64_t id = 6; id >= 1; --id)
        players.push_back(
            {id, "Player " + std::to_string(id), static_cast<std::uint32_t>(0x10 * id), "", 0});
    RecordBook book;
    book.assign(players, rows);
    expectAgreesWithScan(book, rows);

    for (int s = 0; s < 300; ++s) {
        const std::vector<Performance> session = generateSessions(random, 1, at);
        book.add(session);
        rows.insert(rows.end(), session.begin(), session.end());
    }
    expectAgreesWithScan(book, rows);

    const RecordBook before = book;
    const std::vector<Performance> rowsBefore = rows;
    book.removePlayer(2, false);
    for (Performance& p : rows) {
        if (p.playerId == 2) {
            p.playerId.reset();
            p.singerName = kRemovedPlayerName;
        }
    }
    expectAgreesWithScan(book, rows);
    book.removePlayer(3, true);
    std::erase_if(rows, [](const Performance& p) { return p.playerId == 3; });
    expectAgreesWithScan(book, rows);
    expectAgreesWithScan(before, rowsBefore);

    RecordBook moved = std::move(book);
    const std::vector<Performance> session = generateSessions(random, 1, at);
    moved.add(session);
    rows.insert(rows.end(), session.begin(), session.end());
    expectAgreesWithScan(moved, rows);
}

TEST(RecordBookTest, PerformancesAreListedUnderTheirPlayersNameAndColourNow) {
    RecordBook book;
    book.assign({{1, "Anna", 0x0000FF, "", 0}}, {});
    Performance sung;
    sung.playerId = 1;
    sung.singerName = "Anna";
    sung.colour = 0x00FF00;
    book.putPlayer({1, "Anna Lind", 0xFF0000, "", 0});
    EXPECT_EQ(book.nameOf(sung), "Anna Lind");
    EXPECT_EQ(book.colourOf(sung), 0xFF0000u);
    EXPECT_EQ(book.playerNamed(" ANNA lind")->id, 1);
    book.removePlayer(1, false);
    EXPECT_EQ(book.nameOf(sung), "Anna");
    EXPECT_EQ(book.colourOf(sung), 0x00FF00u);
    EXPECT_EQ(book.playerNamed("Anna Lind"), nullptr);
}
