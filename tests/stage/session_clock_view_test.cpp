#include "fakes/fake_media_player.h"
#include "lane_fixture.h"
#include "stage/session_clock_view.h"

namespace cantorix::stage::testing {
namespace {

class SessionClockViewTest : public LaneFixture {
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
    SessionClockView clock{player, ClockScene{text, gauge, progress, pause}, lane};
};

TEST_F(SessionClockViewTest, TheLeadInBarFillsInTheLastFiveSecondsAndHidesAtTheFirstNote) {
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
        ASSERT_EQ(lane.timeline().currentBeat(), session::kBeatBeforeLeadIn) << ms;
    }
    EXPECT_EQ(firstGrowth, 4'950);
    EXPECT_EQ(grown, 467);
    EXPECT_NEAR(progress.width(), 70.05f, 1e-3f);
    EXPECT_TRUE(progress.visible());

    tickAt(9'950);
    EXPECT_FALSE(progress.visible());
    EXPECT_EQ(lane.timeline().currentBeat(), 0);
    EXPECT_EQ(lane.timeline().recordIndex(), 1); // the first note is entered at once
    EXPECT_EQ(text.text(), "00:10");
    EXPECT_EQ(gauge.width(), 23); // 9950 × 140 div 60000
    EXPECT_FLOAT_EQ(gauge.position().x, 513.5f);
}

TEST_F(SessionClockViewTest, APausedSessionHoldsTheLeadInBar) {
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

TEST_F(SessionClockViewTest, TheLyricsEmptyOnceTheLastNoteHasEnded) {
    // Lead-in 0 and 150 BPM: the beat is the position in tenths of a second.
    startSession("0", "150", fourLineSong());
    tickAt(1'500); // the second break: "mi" is current, the last line previewed
    EXPECT_EQ(lineText(0), "mi");
    EXPECT_EQ(lineText(1), "fa");
    tickAt(2'000);
    EXPECT_EQ(lineText(0), "fa");
    EXPECT_EQ(lane.timeline().targetPitch(), 26);
    tickAt(2'140); // beat 21
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsEndInView);

    tickAt(2'150); // beat 22 (halves to even): "fa" has ended
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsFinished);
    EXPECT_EQ(lane.timeline().targetPitch(), 0);
    tickAt(2'210);
    EXPECT_EQ(singText.count(), 0);
    EXPECT_EQ(tabulature.count(), 0);
    EXPECT_EQ(lane.timeline().recordIndex(), 11); // the lane is no longer stepped
    EXPECT_EQ(text.text(), "00:02");
}

TEST_F(SessionClockViewTest, TheEndOfTheMusicEndsTheSession) {
    player.defaultLength = 20'000;
    startSession("0", "120", fourLineSong());
    EXPECT_FALSE(tickAt(19'990));
    EXPECT_EQ(text.text(), "00:20");
    EXPECT_TRUE(tickAt(20'000));
    EXPECT_EQ(text.text(), "00:20"); // position equal to length: the clock is left as it was
    EXPECT_EQ(gauge.width(), 139);
}

} // namespace
} // namespace cantorix::stage::testing
