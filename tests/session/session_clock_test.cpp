#include "fakes/fake_media_player.h"
#include "lane_fixture.h"
#include "session/round_half_even.h"
#include "session/session_clock.h"

#include <cmath>
#include <limits>

namespace cantorix::session::testing {
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

class SessionClockTest : public LaneFixture {
protected:
    void startSession(const std::string& gap, const std::string& bpm,
                      const std::vector<std::string>& body) {
        loadSong(gap, bpm, body);
        player.setFileName("a.mp3");
        player.open();
        player.play();
        lane.startSession();
        lane.lines().BuildLines();
        clock.showLeadIn();
    }
    bool tickAt(std::int64_t ms) {
        player.currentPosition = ms;
        return clock.tick();
    }

    songs::testing::FakeMediaPlayer player;
    scene::TGLHUDText text{"Text"};
    scene::TGLHUDSprite gauge{"Gauge"}, progress{"Progress"};
    scene::TGLBaseSceneObject pause{"Pause"};
    SessionClock clock{player, ClockScene{text, gauge, progress, pause}, lane};
};

TEST_F(SessionClockTest, TheLeadInBarFillsInTheLastFiveSecondsAndHidesAtTheFirstNote) {
    player.defaultLength = 60'000;
    startSession("100", "120", fourLineSong());
    EXPECT_FLOAT_EQ(progress.position().x, syllable(0, 0).position().x - 25);
    EXPECT_TRUE(progress.visible());

    int grown = 0, firstGrowth = -1;
    float width = 0;
    for (std::int64_t ms = 10; ms < 9'950; ms += 10) {
        tickAt(ms);
        if (progress.width() > width) {
            ++grown;
            if (firstGrowth < 0)
                firstGrowth = static_cast<int>(ms);
        }
        width = progress.width();
        ASSERT_EQ(lane.currentBeat(), kBeatBeforeLeadIn) << ms;
    }
    EXPECT_EQ(firstGrowth, 4'950);
    EXPECT_EQ(grown, 467);
    EXPECT_NEAR(progress.width(), 70.05f, 1e-3f);
    EXPECT_TRUE(progress.visible());

    tickAt(9'950);
    EXPECT_FALSE(progress.visible());
    EXPECT_EQ(lane.currentBeat(), 0);
    EXPECT_EQ(lane.recordIndex(), 1); // the first note is entered at once
    EXPECT_EQ(text.text(), "00:10");
    EXPECT_EQ(gauge.width(), 23); // 9950 × 140 div 60000
    EXPECT_FLOAT_EQ(gauge.position().x, 513.5f);
}

TEST_F(SessionClockTest, APausedSessionHoldsTheLeadInBar) {
    startSession("100", "120", fourLineSong());
    tickAt(5'000);
    const float width = progress.width();
    pause.setVisible(false);
    tickAt(5'010);
    EXPECT_EQ(progress.width(), width);
    pause.setVisible(true);
    tickAt(5'010);
    EXPECT_GT(progress.width(), width);
}

TEST_F(SessionClockTest, TheLyricsEmptyOnceTheLastNoteHasEnded) {
    // Lead-in 0 and 150 BPM: the beat is the position in tenths of a second.
    startSession("0", "150", fourLineSong());
    tickAt(1'500); // the second break: "mi" is current, the last line previewed
    EXPECT_EQ(lineText(0), "mi");
    EXPECT_EQ(lineText(1), "fa");
    tickAt(2'000);
    EXPECT_EQ(lineText(0), "fa");
    EXPECT_EQ(lane.targetPitch(), 26);
    tickAt(2'140); // beat 21
    EXPECT_EQ(lane.lines().lyricsState(), kLyricsEndInView);

    tickAt(2'150); // beat 22 (halves to even): "fa" has ended
    EXPECT_EQ(lane.lines().lyricsState(), kLyricsFinished);
    EXPECT_EQ(lane.targetPitch(), 0);
    tickAt(2'210);
    EXPECT_EQ(singText.count(), 0);
    EXPECT_EQ(tabulature.count(), 0);
    EXPECT_EQ(lane.recordIndex(), 11); // the lane is no longer stepped
    EXPECT_EQ(text.text(), "00:02");
}

TEST_F(SessionClockTest, TheEndOfTheMusicEndsTheSession) {
    player.defaultLength = 20'000;
    startSession("0", "120", fourLineSong());
    EXPECT_FALSE(tickAt(19'990));
    EXPECT_EQ(text.text(), "00:20");
    EXPECT_TRUE(tickAt(20'000));
    EXPECT_EQ(text.text(), "00:20"); // position equal to length: the clock is left as it was
    EXPECT_EQ(gauge.width(), 139);
}

} // namespace
} // namespace cantorix::session::testing
