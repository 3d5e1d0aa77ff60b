#include "session/game_timeline.h"
#include "session/round_half_even.h"
#include "session/session_clock.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace cantorix::session {
namespace {

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
    EXPECT_EQ(roundHalfEven(-1.6), -2);
    EXPECT_THROW(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), std::domain_error);
    EXPECT_THROW(roundHalfEven(1e300), std::domain_error);
}

TEST(ClockTextTest, SecondsAreRoundedBeforeTheSplit) {
    EXPECT_EQ(clockText(307'400), "05:07");
    EXPECT_EQ(clockText(59'500), "01:00");
    EXPECT_EQ(clockText(62'500), "01:02"); // 62.5 s: halves to even
    EXPECT_EQ(clockText(0), "00:00");
    EXPECT_EQ(clockText(599'600), "10:00");
}

TEST(GaugeSpanTest, GrowsToTheRightFrom502) {
    const GaugeSpan half = gaugeSpan(90'000, 180'000);
    EXPECT_EQ(half.width, 70);
    EXPECT_FLOAT_EQ(half.centreX, 537);
    EXPECT_EQ(gaugeSpan(180'000, 180'000).width, 140);
    EXPECT_EQ(gaugeSpan(21, 3'000).width, 0); // integer division: 2940 / 3000
    EXPECT_EQ(gaugeSpan(22, 3'000).width, 1);
    EXPECT_FLOAT_EQ(gaugeSpan(22, 3'000).centreX, 502.5f);
    EXPECT_EQ(gaugeSpan(5, 0).width, 0);
}

TEST(BeatAtTest, CountsFromTheEndOfTheLeadIn) {
    // Lead-in of 100 tenths at 120 BPM.
    EXPECT_EQ(beatAt(9'949, 100, 120), kBeatBeforeLeadIn);
    EXPECT_EQ(beatAt(9'950, 100, 120), 0); // the tenth rounds up to 100; −0.4 beats round to 0
    EXPECT_EQ(beatAt(10'125, 100, 120), 1);
    EXPECT_EQ(beatAt(22'500, 100, 120), 100);
    // At 150 BPM a beat is a tenth of a second; the beat itself rounds halves to even.
    EXPECT_EQ(beatAt(10'250, 100, 150), 2);
    EXPECT_EQ(beatAt(10'350, 100, 150), 4);
    EXPECT_EQ(beatAt(10'350, 100.5, 150), 3);
}

TEST(BeatAtTest, EachBeatIsReachedWhereBeatReachedMsSays) {
    for (const auto& [leadIn, bpm] : {std::pair{65.0, 112.5}, {0.0, 150.0}, {51.0, 96.0}}) {
        for (std::int32_t beat : {0, 1, 7, 40, 333}) {
            const double reached = beatReachedMs(beat, leadIn, bpm);
            const auto before = static_cast<std::int64_t>(std::ceil(reached)) - 1;
            const auto after = static_cast<std::int64_t>(std::floor(reached)) + 1;
            EXPECT_LT(beatAt(before, leadIn, bpm), beat) << leadIn << " " << bpm << " " << beat;
            EXPECT_GE(beatAt(after, leadIn, bpm), beat) << leadIn << " " << bpm << " " << beat;
        }
    }
}

} // namespace
} // namespace cantorix::session
