#include "session/hall_of_fame.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace cantorix::session {
namespace {

using Entries = std::vector<std::string>;

struct Shown {
    std::string caption, score;
    friend bool operator==(const Shown&, const Shown&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Shown& s) {
        return out << '{' << s.caption << " | " << s.score << '}';
    }
};

std::vector<Shown> shown(const Entries& entries) {
    std::vector<Shown> result;
    for (const HallOfFameRow& row : rankHallOfFame(entries))
        result.push_back({row.caption, row.scoreText});
    return result;
}

TEST(HallOfFameListTest, KeepsTextOrderIgnoringCase) {
    HallOfFameList list;
    for (const char* entry : {"852:red", "99:blue", "1000:green", "500:Berry", "500:apple"})
        list.add(entry);
    EXPECT_EQ(list.entries(),
              (Entries{"1000:green", "500:apple", "500:Berry", "852:red", "99:blue"}));
}

TEST(HallOfFameListTest, EqualEntriesKeepTheOrderTheyCameIn) {
    HallOfFameList list;
    list.add("5:Ann");
    list.add("5:ANN");
    list.add("5:ann");
    EXPECT_EQ(list.entries(), (Entries{"5:Ann", "5:ANN", "5:ann"}));
}

TEST(HallOfFameListTest, AssignSortsWhatWasLoaded) {
    HallOfFameList list;
    list.add("1:old");
    list.assign({"99:b", "abc", "100:a", "100:A"});
    EXPECT_EQ(list.entries(), (Entries{"100:a", "100:A", "99:b", "abc"}));
    EXPECT_EQ(list.count(), 4);
}

TEST(HallOfFameEntryTest, SplitsAtTheFirstColon) {
    const HallOfFameEntry parts = parseHallOfFameEntry("17:a:b");
    EXPECT_EQ(parts.scoreText, "17");
    EXPECT_EQ(parts.name, "a:b");
    EXPECT_EQ(parts.score, 17);

    const HallOfFameEntry bare = parseHallOfFameEntry("nobody");
    EXPECT_EQ(bare.scoreText, "0");
    EXPECT_EQ(bare.name, "nobody");
    EXPECT_EQ(bare.score, 0);

    EXPECT_EQ(parseHallOfFameEntry("12x:a").score, 0);
    EXPECT_EQ(parseHallOfFameEntry(":a").score, 0);
    EXPECT_EQ(parseHallOfFameEntry("99999999999999999999999:a").score, 0);
}

TEST(HallOfFameRankTest, RanksByScoreAsANumberFromOne) {
    EXPECT_EQ(shown({"1000:green", "852:red", "99:blue"}),
              (std::vector<Shown>{{"1.  green", "1000"}, {"2.  red", "852"}, {"3.  blue", "99"}}));
}

TEST(HallOfFameRankTest, EqualScoresGoByNameIgnoringCase) {
    EXPECT_EQ(
        shown({"500:Berry", "500:apple", "500:cherry"}),
        (std::vector<Shown>{{"1.  apple", "500"}, {"2.  Berry", "500"}, {"3.  cherry", "500"}}));
}

TEST(HallOfFameRankTest, EntryWithoutColonRanksAsZero) {
    EXPECT_EQ(shown({"hand edited", "3:x", "0:a"}),
              (std::vector<Shown>{{"1.  x", "3"}, {"2.  a", "0"}, {"3.  hand edited", "0"}}));
}

TEST(HallOfFameRankTest, ShowsTheSevenBest) {
    EXPECT_TRUE(rankHallOfFame({}).empty());
    Entries entries;
    for (int score : {5, 80, 700, 6, 1000, 90, 3, 40, 2, 10})
        entries.push_back(std::to_string(score) + ":p" + std::to_string(score));
    const std::vector<HallOfFameRow> rows = rankHallOfFame(entries);
    ASSERT_EQ(rows.size(), 7u);
    std::vector<std::string> scores;
    for (const HallOfFameRow& row : rows)
        scores.push_back(row.scoreText);
    EXPECT_EQ(scores, (std::vector<std::string>{"1000", "700", "90", "80", "40", "10", "6"}));
    EXPECT_EQ(rows.back().number, 7);
    EXPECT_EQ(rows.back().caption, "7.  p6");
}

} // namespace
} // namespace cantorix::session
