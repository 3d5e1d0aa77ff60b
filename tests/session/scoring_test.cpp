#include "session/scoring.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

namespace cantorix::session {
namespace {

constexpr std::uint8_t kSilence = 255;
// The sung values the pitch analysis can produce.
constexpr std::uint8_t kSungValues[] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 22, 23,
                                        25, 26, 28, 30, 31, 33, 35, 38, 40, 42, 45, 48, kSilence};

class ScoringTest : public ::testing::Test {
protected:
    void ticks(int count, std::uint8_t sungValue) {
        for (int i = 0; i < count; ++i)
            scoring.scoreTick(sungValue);
    }

    Scoring scoring;
};

TEST_F(ScoringTest, ThirteenHitsGiveThirteenPointsTwoBonusAndAStreakOfOne) {
    scoring.setTargetPitch(22);
    ticks(13, 22);
    EXPECT_EQ(scoring.notePoints(), 13);
    EXPECT_EQ(scoring.lineBonus(), 2);
    EXPECT_EQ(scoring.hitStreak(), 1);
    EXPECT_EQ(scoring.hitStreak(), 1);
    EXPECT_EQ(scoring.total(), 15);
}

TEST_F(ScoringTest, AMissBreaksTheRunWithoutBonus) {
    scoring.setTargetPitch(30);
    ticks(5, 30);
    EXPECT_EQ(scoring.hitStreak(), 5);
    scoring.scoreTick(31);
    EXPECT_EQ(scoring.notePoints(), 5);
    EXPECT_EQ(scoring.lineBonus(), 0);
    EXPECT_EQ(scoring.hitStreak(), 0);
    // The next run starts from nothing: five more hits still earn no bonus.
    ticks(5, 30);
    EXPECT_EQ(scoring.lineBonus(), 0);
    scoring.scoreTick(30);
    EXPECT_EQ(scoring.lineBonus(), 1);
    EXPECT_EQ(scoring.hitStreak(), 0);
}

TEST_F(ScoringTest, ComparesBytesExactly) {
    scoring.setTargetPitch(22);
    for (std::uint8_t near :
         {std::uint8_t{21}, std::uint8_t{23}, std::uint8_t{44}, std::uint8_t{11}})
        scoring.scoreTick(near);
    EXPECT_EQ(scoring.notePoints(), 0);
}

TEST_F(ScoringTest, APitchWrittenAsMinusOneScoresOnSilence) {
    scoring.setTargetPitch(static_cast<std::uint8_t>(-1));
    ticks(3, kSilence);
    scoring.scoreTick(22);
    EXPECT_EQ(scoring.notePoints(), 3);
    EXPECT_EQ(scoring.hitStreak(), 0);
}

TEST_F(ScoringTest, NothingScoresAgainstATargetOfZero) {
    scoring.setTargetPitch(0);
    for (std::uint8_t sung : kSungValues)
        ticks(7, sung);
    EXPECT_EQ(scoring.notePoints(), 0);
    EXPECT_EQ(scoring.lineBonus(), 0);
}

TEST_F(ScoringTest, StartSessionClearsPointsTargetAndTheStreak) {
    scoring.setTargetPitch(40);
    ticks(10, 40);
    ASSERT_EQ(scoring.hitStreak(), 4);
    scoring.startSession();
    EXPECT_EQ(scoring.notePoints(), 0);
    EXPECT_EQ(scoring.lineBonus(), 0);
    EXPECT_EQ(scoring.targetPitch(), 0);
    EXPECT_EQ(scoring.hitStreak(), 0);
    // The old target no longer scores, and the old run does not complete.
    ticks(2, 40);
    EXPECT_EQ(scoring.notePoints(), 0);
    scoring.setTargetPitch(40);
    ticks(2, 40);
    EXPECT_EQ(scoring.lineBonus(), 0);
}

TEST_F(ScoringTest, TheSixthHitOfARunEarnsTheBonusAndStartsANewRun) {
    scoring.setTargetPitch(12);
    ticks(5, 12);
    ASSERT_EQ(scoring.hitStreak(), 5);
    scoring.scoreTick(12);
    EXPECT_EQ(scoring.lineBonus(), 1);
    EXPECT_EQ(scoring.hitStreak(), 0);
}

TEST(PointCounterTest, ShowsTheNotePoints) {
    EXPECT_EQ(pointCounterText(0), "P-0");
    EXPECT_EQ(pointCounterText(1234), "P-1234");
}

TEST(ScorePageTest, ShowsNotesBonusAndTotal) {
    const ScorePageValues values = scorePageValues(812, 40);
    EXPECT_EQ(values.notes, "812");
    EXPECT_EQ(values.bonus, "40");
    EXPECT_EQ(values.total, "852");
}

TEST(ScorePageTest, TotalDoesNotOverflow) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(scorePageValues(kMax, kMax).total, "4294967294");
}

TEST(ScorePageTest, GaugeGrowsUpwardsFromItsBase) {
    struct Case {
        std::int32_t points;
        int height;
    };
    // 750 → 11.5 and 2250 → 34.5: halves go to the even neighbour.
    for (const Case& c : {Case{15000, 230}, Case{0, 0}, Case{1000, 15}, Case{750, 12},
                          Case{2250, 34}, Case{7500, 115}, Case{30000, 460}}) {
        const ScorePageValues values = scorePageValues(c.points, 0);
        EXPECT_EQ(values.gaugeHeight, c.height) << c.points;
        EXPECT_EQ(values.gaugeTop, 460 - c.height) << c.points;
    }
}

TEST(SubmitTest, EntryIsTotalColonAndTheNameUnchanged) {
    EXPECT_EQ(hallOfFameEntry(852, "red"), "852:red");
    EXPECT_EQ(hallOfFameEntry(0, ""), "0:");
    EXPECT_EQ(hallOfFameEntry(17, "a:b c"), "17:a:b c");
}

} // namespace
} // namespace cantorix::session
