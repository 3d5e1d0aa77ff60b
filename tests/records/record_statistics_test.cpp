#include "records/record_statistics.h"

#include <gtest/gtest.h>

using namespace cantorix::records;

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

Performance sung(std::optional<std::int64_t> player, const char* name, const char* title,
                 std::int64_t total, int day, bool finished = true, double share = 0) {
    Performance p;
    p.playerId = player;
    p.singerName = name;
    p.key = {std::string("band\x1f") + title, 0};
    p.title = title;
    p.total = total;
    p.possible = share > 0 ? 1000 : 0;
    p.share = share;
    p.sungAtMs = day * kDayMs;
    p.sungMs = 60000;
    p.finished = finished;
    return p;
}

std::vector<std::pair<std::string, std::int64_t>> ranked(const std::vector<SingerRanking>& list) {
    std::vector<std::pair<std::string, std::int64_t>> out;
    out.reserve(list.size());
    for (const SingerRanking& singer : list)
        out.emplace_back(singer.name, singer.total);
    return out;
}

} // namespace

TEST(RecordStatisticsTest, WorkedExample) {
    RecordBook book;
    book.assign({{1, "Anna", 1, "", 0}, {2, "Ben", 2, "", 0}},
                {sung(1, "Anna", "x", 100, 0, true, 0.5), sung(2, "Ben", "x", 80, 0),
                 sung({}, "Dan", "y", 220, 0), sung(1, "Anna", "y", 50, 5, false, 0.9),
                 sung(1, "Anna", "x", 120, 9, true, 0.7), sung({}, "Cleo", "x", 300, 9),
                 sung({}, "cleo", "y", 10, 9), sung(1, "Anna", "z", 0, 7)});
    book.putPlayer({1, "Anna Lind", 1, "", 0});

    const PlayerStatistics anna = playerStatistics(book, 1);
    EXPECT_EQ(std::tie(anna.name, anna.sessions, anna.songs, anna.msSung),
              std::tuple("Anna Lind", 4, 3, 240000));
    EXPECT_DOUBLE_EQ(anna.averageShare.value(), 0.6); // the unfinished 0.9 is left out
    // Her finished 0 on "z" is sung, but nobody's best.
    ASSERT_EQ(std::pair(anna.bestSongs.size(), anna.mostSung.size()), std::pair(1ul, 3ul));
    EXPECT_EQ(anna.bestSongs[0].total, 120);
    EXPECT_EQ(std::tie(anna.mostSung[0].title, anna.mostSung[0].times), std::tuple("x", 2));

    // "x" has four rows from two sessions (Anna and Ben together on day 0, Anna and Cleo on
    // day 9); "y" three sessions of one singer each.
    const GameStatistics game = gameStatistics(book, 10 * kDayMs, 3);
    ASSERT_EQ(game.mostSung.size(), 3u);
    EXPECT_EQ(std::tie(game.mostSung[0].title, game.mostSung[0].times), std::tuple("y", 3));
    EXPECT_EQ(std::tie(game.mostSung[1].title, game.mostSung[1].times), std::tuple("x", 2));
    using Ranking = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(ranked(game.topOfWeek), (Ranking{{"cleo", 310}, {"Anna Lind", 120}}));
    // Dan and Anna have 220 each, Dan in fewer performances.
    EXPECT_EQ(ranked(game.topOfAllTime),
              (Ranking{{"cleo", 310}, {"Dan", 220}, {"Anna Lind", 220}}));
}
