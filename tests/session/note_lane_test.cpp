#include "lane_fixture.h"

namespace cantorix::session::testing {
namespace {

class NoteLaneTest : public LaneFixture {
protected:
    void start(const std::vector<std::string>& body) {
        loadSong("0", "120", body);
        lane.startSession();
        lane.lines().BuildLines();
    }
    float alpha(int index) { return syllable(0, index).modulateColor().a; }
    std::string barMaterial(int index) { return sprite(tabulature, index).material().name; }
};

TEST_F(NoteLaneTest, EachRecordHighlightsItsOwnSyllableAndTargetsItsOwnPitch) {
    start(fourLineSong());
    lane.UpdateLane(-500);
    EXPECT_EQ(lane.recordIndex(), 0);

    lane.UpdateLane(0);
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(alpha(1), 0.4f);
    EXPECT_EQ(barMaterial(0), "Knob2");
    EXPECT_EQ(lane.targetPitch(), 20);

    lane.UpdateLane(2);
    EXPECT_EQ(alpha(0), 0.4f);
    EXPECT_EQ(alpha(1), 1.0f);
    EXPECT_EQ(barMaterial(0), "Knob1");
    EXPECT_EQ(barMaterial(1), "Knob2");
    EXPECT_EQ(lane.targetPitch(), 21);

    // The last syllable of the line stays on screen, highlighted, while it is sung.
    lane.UpdateLane(4);
    lane.UpdateLane(8);
    EXPECT_EQ(lineText(0), "la lala x");
    EXPECT_EQ(alpha(2), 1.0f);
    EXPECT_EQ(lane.targetPitch(), 22);
    EXPECT_EQ(lane.recordIndex(), 3);
}

TEST_F(NoteLaneTest, TheLineBreakBringsTheNextLineAndSilencesTheTarget) {
    start(fourLineSong());
    for (int beat : {0, 2, 4})
        lane.UpdateLane(beat);
    ASSERT_EQ(singTab.tag(), 3);

    lane.UpdateLane(9);
    EXPECT_EQ(lineText(0), "do re");
    EXPECT_EQ(lineText(1), "mi");
    EXPECT_EQ(lane.targetPitch(), 0);
    EXPECT_EQ(lane.syllableIndex(), 0);
    EXPECT_EQ(alpha(0), 0.5f); // nothing of the new line is entered yet
    EXPECT_EQ(singTab.count(), 0);
    EXPECT_EQ(singTab.tag(), 0);
    EXPECT_EQ(lane.barRightEdge(), 0);
    EXPECT_EQ(lane.lines().lyricsState(), kLyricsRunning);

    lane.UpdateLane(10);
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(barMaterial(0), "Knob2");
    EXPECT_EQ(lane.targetPitch(), 23);
    lane.UpdateLane(12);
    EXPECT_EQ(alpha(1), 1.0f);
    EXPECT_EQ(lane.targetPitch(), 24);
}

TEST_F(NoteLaneTest, RecordsPassedBetweenTwoTicksAreEnteredInOneTick) {
    start(fourLineSong());
    lane.UpdateLane(0);
    lane.UpdateLane(5); // the window of "lala" (2 … 3) went by unseen
    EXPECT_EQ(lane.recordIndex(), 3);
    EXPECT_EQ(alpha(2), 1.0f);
    EXPECT_EQ(lane.targetPitch(), 22);
    EXPECT_EQ(singTab.tag(), 3); // every bar passed started its trail

    lane.UpdateLane(13); // over the line break and "do"
    EXPECT_EQ(lineText(0), "do re");
    EXPECT_EQ(lane.recordIndex(), 6);
    EXPECT_EQ(alpha(0), 0.4f);
    EXPECT_EQ(alpha(1), 1.0f);
    EXPECT_EQ(lane.targetPitch(), 24);
}

TEST_F(NoteLaneTest, TwoRecordsAtOneBeatDoNotStopTheLyrics) {
    start({": 0 2 20 a", ": 2 2 21 b", ": 2 2 22 c", ": 4 2 23 d", "- 6", ": 7 2 24 e", "- 9",
           ": 10 2 25 f", "E"});
    lane.UpdateLane(0);
    lane.UpdateLane(2);
    EXPECT_EQ(lane.recordIndex(), 3);
    EXPECT_EQ(alpha(2), 1.0f);
    EXPECT_EQ(lane.targetPitch(), 22);
    lane.UpdateLane(4);
    EXPECT_EQ(alpha(3), 1.0f);
    EXPECT_EQ(lane.targetPitch(), 23);
}

TEST_F(NoteLaneTest, ABreakAtTheBeatOfTheNextNoteIsStillTaken) {
    start({": 0 2 20 a", "- 4", ": 4 2 21 b", "- 6", ": 7 2 22 c", "- 9", ": 10 2 25 f", "E"});
    lane.UpdateLane(0);
    lane.UpdateLane(4);
    EXPECT_EQ(lineText(0), "b");
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(lane.targetPitch(), 21);
}

TEST_F(NoteLaneTest, TheLastLinesAreSungAndTheLyricsEndWithTheLastNote) {
    start(fourLineSong());
    lane.UpdateLane(15); // the second break: the last line is previewed
    EXPECT_EQ(lineText(0), "mi");
    EXPECT_EQ(lineText(1), "fa");
    EXPECT_EQ(lane.lines().lyricsState(), kLyricsEndInView);
    lane.UpdateLane(16);
    EXPECT_EQ(lane.targetPitch(), 25);

    lane.UpdateLane(19); // the last break: the last line is current, with its bar
    EXPECT_EQ(singText.count(), 1);
    EXPECT_EQ(lineText(0), "fa");
    EXPECT_EQ(tabulature.count(), 1);
    lane.UpdateLane(20);
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(barMaterial(0), "Knob2");
    EXPECT_EQ(lane.targetPitch(), 26);
    lane.UpdateLane(21); // still inside "fa" (20 … 21)
    EXPECT_EQ(lane.targetPitch(), 26);
    EXPECT_EQ(lane.lines().lyricsState(), kLyricsEndInView);

    lane.UpdateLane(22); // "fa" has ended
    EXPECT_EQ(lane.targetPitch(), 0);
    EXPECT_EQ(lane.lines().lyricsState(), kLyricsFinished);
}

TEST_F(NoteLaneTest, ASongOfOneLineGetsItsBarsAndScoresItsLastNote) {
    // Ignored lines after the "E" line are not part of the lyrics.
    start({": 0 2 20 a", ": 2 3 21 b", "E", "trailing"});
    EXPECT_EQ(lane.lines().lyricsEnd(), 2u);
    EXPECT_EQ(singText.count(), 1);
    EXPECT_EQ(tabulature.count(), 2);
    lane.UpdateLane(2);
    lane.UpdateLane(4);
    EXPECT_EQ(lane.targetPitch(), 21);
    EXPECT_TRUE(lane.hasCurrentBar());
    lane.UpdateLane(5);
    EXPECT_EQ(lane.targetPitch(), 0);
    EXPECT_EQ(lane.lines().lyricsState(), kLyricsFinished);
    EXPECT_EQ(lane.recordIndex(), 3);
}

TEST_F(NoteLaneTest, TheTrailCreepsAlongTheBarAndPilesUpAtItsRightEdge) {
    start(fourLineSong());
    EXPECT_FALSE(lane.UpdateVoiceTrail(20)); // no bar highlighted yet: no trail, no scoring
    EXPECT_EQ(singTab.count(), 0);

    lane.UpdateLane(0);
    ASSERT_EQ(singTab.count(), 1);
    EXPECT_FLOAT_EQ(sprite(singTab, 0).position().x, 123); // left edge of the bar at 178, 110 wide
    EXPECT_FLOAT_EQ(sprite(singTab, 0).width(), 0.001f);
    EXPECT_DOUBLE_EQ(lane.barRightEdge(), 233);
    EXPECT_DOUBLE_EQ(lane.barWidth(), 110);

    ASSERT_TRUE(lane.UpdateVoiceTrail(20));
    const auto& first = sprite(singTab, 1);
    EXPECT_NEAR(first.position().x, 123.0005, 1e-4);
    EXPECT_FLOAT_EQ(first.position().y, 485); // the bars' formula, octave band 2
    EXPECT_FLOAT_EQ(first.width(), 110.0f / 7);
    EXPECT_FLOAT_EQ(first.height(), 15);
    EXPECT_EQ(first.material().name, "Knob3");

    lane.UpdateVoiceTrail(255);
    EXPECT_NEAR(sprite(singTab, 2).position().x, 123.0005 + 55.0 / 7, 1e-3);
    EXPECT_FLOAT_EQ(sprite(singTab, 2).position().y, 545 - (255 - 12) * 7.5f);

    for (int i = 0; i < 20; ++i)
        lane.UpdateVoiceTrail(20);
    const int last = singTab.count() - 1;
    EXPECT_GE(sprite(singTab, last).position().x, 233);
    EXPECT_EQ(sprite(singTab, last).position().x, sprite(singTab, last - 1).position().x);
    EXPECT_LT(sprite(singTab, last - 1).position().x, 233 + 55.0f / 7);
}

TEST_F(NoteLaneTest, ANewSessionForgetsTheBarAndTheTarget) {
    start(fourLineSong());
    lane.UpdateLane(0);
    ASSERT_TRUE(lane.hasCurrentBar());
    ASSERT_EQ(lane.targetPitch(), 20);

    lane.startSession();
    EXPECT_FALSE(lane.hasCurrentBar());
    EXPECT_EQ(lane.targetPitch(), 0);
    EXPECT_EQ(lane.recordIndex(), 0);
    EXPECT_FALSE(lane.UpdateVoiceTrail(20));

    // The second session builds from the first record again, not from the lines on screen.
    lane.lines().BuildLines();
    EXPECT_EQ(lineText(0), "la lala x");
}

} // namespace
} // namespace cantorix::session::testing
