#include "records/record_statistics.h"

#include <gtest/gtest.h>

using namespace cantorix::records;

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

Performance sung(std::optional<std::int64_t> player, std::string name, const char* title,
                 std::int64_t total, int day, bool finished = true, double share = 0) {
    Performance p;
    p.playerId = player;
    p.singerName = std::move(name);
    p.artist = "Band";
    p.title = title;
    p.key = {std::string("band\x1f") + title, 0};
    p.total = total;
    p.finished = finished;
    p.share = share;
    p.possible = share > 0 ? 1000 : 0;
    p.sungAtMs = day * kDayMs;
    p.sungMs = 60000;
    return p;
}

} // namespace

TEST(RecordStatisticsTest, WorkedExample) {
    RecordBook book;
    book.assign({{1, "Anna", 1, "", 0}, {2, "Ben", 2, "", 0}},
                {sung(1, "Anna", "x", 100, 0, true, 0.5), sung(2, "Ben", "x", 80, 0),
                 sung(std::nullopt, "Dan", "y", 220, 0), sung(1, "Anna", "y", 50, 5, false, 0.9),
                 sung(1, "Anna", "x", 120, 9, true, 0.7), sung(std::nullopt, "Cleo", "x", 300, 9),
                 sung(std::nullopt, "cleo", "y", 10, 9)});
    book.putPlayer({1, "Anna Lind", 1, "", 0});

    const PlayerStatistics anna = playerStatistics(book, 1);
    EXPECT_EQ(anna.name, "Anna Lind");
    EXPECT_EQ(anna.sessions, 3);
    EXPECT_EQ(anna.songs, 2);
    EXPECT_EQ(anna.msSung, 180000);
    EXPECT_DOUBLE_EQ(anna.averageShare.value(), 0.6); // the unfinished 0.9 is left out
    ASSERT_EQ(anna.bestSongs.size(), 1u);
    EXPECT_EQ(anna.bestSongs[0].total, 120);
    ASSERT_EQ(anna.mostSung.size(), 2u);
    EXPECT_EQ(anna.mostSung[0].title, "x");
    EXPECT_EQ(anna.mostSung[0].times, 2);

    const GameStatistics game = gameStatistics(book, 10 * kDayMs, 3);
    ASSERT_EQ(game.mostSung.size(), 2u);
    EXPECT_EQ(game.mostSung[0].times, 4);
    const auto names = [](const std::vector<SingerRanking>& ranking) {
        std::vector<std::pair<std::string, std::int64_t>> out;
        out.reserve(ranking.size());
        for (const SingerRanking& singer : ranking)
            out.emplace_back(singer.name, singer.total);
        return out;
    };
    using Ranking = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(names(game.topOfWeek), (Ranking{{"cleo", 310}, {"Anna Lind", 120}}));
    // Dan and Anna have 220 each; Dan in fewer performances.
    EXPECT_EQ(names(game.topOfAllTime), (Ranking{{"cleo", 310}, {"Dan", 220}, {"Anna Lind", 220}}));
}
