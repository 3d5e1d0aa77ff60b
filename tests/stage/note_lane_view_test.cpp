#include "lane_fixture.h"

#include <random>

namespace cantorix::stage::testing {
namespace {

class NoteLaneViewTest : public LaneFixture {
protected:
    void start(const std::vector<std::string>& body) {
        loadSong("0", "120", body);
        lane.startSession();
        lane.lines().BuildLines();
    }
    float alpha(int index) { return syllable(0, index).modulateColor().a; }
    std::string barMaterial(int index) { return sprite(tabulature, index).material().name; }
};

TEST_F(NoteLaneViewTest, EachRecordHighlightsItsOwnSyllableAndTargetsItsOwnPitch) {
    start(fourLineSong());
    lane.UpdateLane(-500);
    EXPECT_EQ(lane.timeline().recordIndex(), 0);

    lane.UpdateLane(0);
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(alpha(1), 0.4f);
    EXPECT_EQ(barMaterial(0), "Knob2");
    EXPECT_EQ(lane.timeline().targetPitch(), 20);

    lane.UpdateLane(2);
    EXPECT_EQ(alpha(0), 0.4f);
    EXPECT_EQ(alpha(1), 1.0f);
    EXPECT_EQ(barMaterial(0), "Knob1");
    EXPECT_EQ(barMaterial(1), "Knob2");
    EXPECT_EQ(lane.timeline().targetPitch(), 21);

    // The last syllable of the line stays on screen, highlighted, while it is sung.
    lane.UpdateLane(4);
    lane.UpdateLane(8);
    EXPECT_EQ(lineText(0), "la lala x");
    EXPECT_EQ(alpha(2), 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 22);
    EXPECT_EQ(lane.timeline().recordIndex(), 3);
}

TEST_F(NoteLaneViewTest, TheLineBreakBringsTheNextLineAndSilencesTheTarget) {
    start(fourLineSong());
    for (int beat : {0, 2, 4})
        lane.UpdateLane(beat);
    ASSERT_EQ(singTab.tag(), 3);

    lane.UpdateLane(9);
    EXPECT_EQ(lineText(0), "do re");
    EXPECT_EQ(lineText(1), "mi");
    EXPECT_EQ(lane.timeline().targetPitch(), 0);
    EXPECT_EQ(lane.timeline().syllableIndex(), 0);
    EXPECT_EQ(alpha(0), 0.5f); // nothing of the new line is entered yet
    EXPECT_EQ(singTab.count(), 0);
    EXPECT_EQ(singTab.tag(), 0);
    EXPECT_EQ(lane.barRightEdge(), 0);
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsRunning);

    lane.UpdateLane(10);
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(barMaterial(0), "Knob2");
    EXPECT_EQ(lane.timeline().targetPitch(), 23);
    lane.UpdateLane(12);
    EXPECT_EQ(alpha(1), 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 24);
}

TEST_F(NoteLaneViewTest, RecordsPassedBetweenTwoTicksAreEnteredInOneTick) {
    start(fourLineSong());
    lane.UpdateLane(0);
    lane.UpdateLane(5); // the window of "lala" (2 … 3) went by unseen
    EXPECT_EQ(lane.timeline().recordIndex(), 3);
    EXPECT_EQ(alpha(2), 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 22);
    EXPECT_EQ(singTab.tag(), 3); // every bar passed started its trail

    lane.UpdateLane(13); // over the line break and "do"
    EXPECT_EQ(lineText(0), "do re");
    EXPECT_EQ(lane.timeline().recordIndex(), 6);
    EXPECT_EQ(alpha(0), 0.4f);
    EXPECT_EQ(alpha(1), 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 24);
}

TEST_F(NoteLaneViewTest, TwoRecordsAtOneBeatDoNotStopTheLyrics) {
    start({": 0 2 20 a", ": 2 2 21 b", ": 2 2 22 c", ": 4 2 23 d", "- 6", ": 7 2 24 e", "- 9",
           ": 10 2 25 f", "E"});
    lane.UpdateLane(0);
    lane.UpdateLane(2);
    EXPECT_EQ(lane.timeline().recordIndex(), 3);
    EXPECT_EQ(alpha(2), 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 22);
    lane.UpdateLane(4);
    EXPECT_EQ(alpha(3), 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 23);
}

TEST_F(NoteLaneViewTest, ABreakAtTheBeatOfTheNextNoteIsStillTaken) {
    start({": 0 2 20 a", "- 4", ": 4 2 21 b", "- 6", ": 7 2 22 c", "- 9", ": 10 2 25 f", "E"});
    lane.UpdateLane(0);
    lane.UpdateLane(4);
    EXPECT_EQ(lineText(0), "b");
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 21);
}

TEST_F(NoteLaneViewTest, TheLastLinesAreSungAndTheLyricsEndWithTheLastNote) {
    start(fourLineSong());
    lane.UpdateLane(15); // the second break: the last line is previewed
    EXPECT_EQ(lineText(0), "mi");
    EXPECT_EQ(lineText(1), "fa");
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsEndInView);
    lane.UpdateLane(16);
    EXPECT_EQ(lane.timeline().targetPitch(), 25);

    lane.UpdateLane(19); // the last break: the last line is current, with its bar
    EXPECT_EQ(singText.count(), 1);
    EXPECT_EQ(lineText(0), "fa");
    EXPECT_EQ(tabulature.count(), 1);
    lane.UpdateLane(20);
    EXPECT_EQ(alpha(0), 1.0f);
    EXPECT_EQ(barMaterial(0), "Knob2");
    EXPECT_EQ(lane.timeline().targetPitch(), 26);
    lane.UpdateLane(21); // still inside "fa" (20 … 21)
    EXPECT_EQ(lane.timeline().targetPitch(), 26);
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsEndInView);

    lane.UpdateLane(22); // "fa" has ended
    EXPECT_EQ(lane.timeline().targetPitch(), 0);
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsFinished);
}

TEST_F(NoteLaneViewTest, ASongOfOneLineGetsItsBarsAndScoresItsLastNote) {
    // Ignored lines after the "E" line are not part of the lyrics.
    start({": 0 2 20 a", ": 2 3 21 b", "E", "trailing"});
    EXPECT_EQ(lane.lines().lyricsEnd(), 2u);
    EXPECT_EQ(singText.count(), 1);
    EXPECT_EQ(tabulature.count(), 2);
    lane.UpdateLane(2);
    lane.UpdateLane(4);
    EXPECT_EQ(lane.timeline().targetPitch(), 21);
    EXPECT_TRUE(lane.timeline().hasCurrentBar());
    lane.UpdateLane(5);
    EXPECT_EQ(lane.timeline().targetPitch(), 0);
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsFinished);
    EXPECT_EQ(lane.timeline().recordIndex(), 3);
}

TEST_F(NoteLaneViewTest, TheTrailCreepsAlongTheBarAndPilesUpAtItsRightEdge) {
    start(fourLineSong());
    EXPECT_FALSE(lane.drawVoiceTrail(20)); // no bar highlighted yet: no trail, no scoring
    EXPECT_EQ(singTab.count(), 0);

    lane.UpdateLane(0);
    ASSERT_EQ(singTab.count(), 1);
    EXPECT_FLOAT_EQ(sprite(singTab, 0).position().x, 123); // left edge of the bar at 178, 110 wide
    EXPECT_FLOAT_EQ(sprite(singTab, 0).width(), 0.001f);
    EXPECT_DOUBLE_EQ(lane.barRightEdge(), 233);
    EXPECT_DOUBLE_EQ(lane.barWidth(), 110);

    ASSERT_TRUE(lane.drawVoiceTrail(20));
    const auto& first = sprite(singTab, 1);
    EXPECT_NEAR(first.position().x, 123.0005, 1e-4);
    EXPECT_FLOAT_EQ(first.position().y, 485); // the bars' formula, octave band 2
    EXPECT_FLOAT_EQ(first.width(), 110.0f / 7);
    EXPECT_FLOAT_EQ(first.height(), 15);
    EXPECT_EQ(first.material().name, "Knob3");

    lane.drawVoiceTrail(255);
    EXPECT_NEAR(sprite(singTab, 2).position().x, 123.0005 + 55.0 / 7, 1e-3);
    EXPECT_FLOAT_EQ(sprite(singTab, 2).position().y, 545 - (255 - 12) * 7.5f);

    for (int i = 0; i < 20; ++i)
        lane.drawVoiceTrail(20);
    const int last = singTab.count() - 1;
    EXPECT_GE(sprite(singTab, last).position().x, 233);
    EXPECT_EQ(sprite(singTab, last).position().x, sprite(singTab, last - 1).position().x);
    EXPECT_LT(sprite(singTab, last - 1).position().x, 233 + 55.0f / 7);
}

TEST_F(NoteLaneViewTest, ANewSessionForgetsTheBarAndTheTarget) {
    start(fourLineSong());
    lane.UpdateLane(0);
    ASSERT_TRUE(lane.timeline().hasCurrentBar());
    ASSERT_EQ(lane.timeline().targetPitch(), 20);

    lane.startSession();
    EXPECT_FALSE(lane.timeline().hasCurrentBar());
    EXPECT_EQ(lane.timeline().targetPitch(), 0);
    EXPECT_EQ(lane.timeline().recordIndex(), 0);
    EXPECT_FALSE(lane.drawVoiceTrail(20));

    // The second session builds from the first record again, not from the lines on screen.
    lane.lines().BuildLines();
    EXPECT_EQ(lineText(0), "la lala x");
}

// Whatever the song (lines without length, lines longer than one walk, breaks in a row, notes on
// one beat) and however far a tick jumps, the view draws what the timeline decided: the line it
// laid out, the bars it counts, and at most the one bar it judges against lit.
TEST_F(NoteLaneViewTest, TheViewDrawsWhatTheTimelineDecidesForAnySong) {
    std::mt19937 random(7);
    for (int round = 0; round < 80; ++round) {
        std::vector<std::string> body;
        int beat = 0;
        const int records = 1 + static_cast<int>(random() % 140);
        for (int i = 0; i < records; ++i) {
            beat += static_cast<int>(random() % 4);
            if (random() % 7 == 0)
                body.push_back("- " + std::to_string(beat));
            else
                body.push_back(": " + std::to_string(beat) + " " + std::to_string(random() % 4) +
                               " " + std::to_string(10 + random() % 30) + " s");
        }
        body.push_back("E");
        start(body);
        const session::GameTimeline& timeline = lane.timeline();
        for (int b = 0; b <= beat + 8 && !timeline.lyricsFinished();
             b += 1 + static_cast<int>(random() % 5)) {
            lane.UpdateLane(b);
            if (timeline.lyricsFinished())
                break;
            ASSERT_EQ(singText.child(0).count(), timeline.layout().currentSyllables())
                << round << " at " << b;
            ASSERT_EQ(tabulature.count(), timeline.layout().barCount()) << round << " at " << b;
            std::vector<int> lit;
            for (int i = 0; i < tabulature.count(); ++i)
                if (barMaterial(i) == "Knob2")
                    lit.push_back(i);
            if (!lit.empty()) {
                ASSERT_EQ(lit, std::vector<int>{timeline.currentBarIndex()})
                    << round << " at " << b;
                ASSERT_TRUE(timeline.judging());
            }
        }
    }
}

} // namespace
} // namespace cantorix::stage::testing
