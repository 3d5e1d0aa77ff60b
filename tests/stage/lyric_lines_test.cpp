#include "lane_fixture.h"

namespace cantorix::stage::testing {
namespace {

class LyricLinesTest : public LaneFixture {};

TEST_F(LyricLinesTest, BarsShareTheLaneInProportionToTheLengths) {
    loadSong("0", "120", fourLineSong());
    ASSERT_EQ(song.octaveBand(), 2);
    lane.startSession();
    lane.lines().BuildLines();

    ASSERT_EQ(tabulature.count(), 3); // lengths 2, 2, 4
    const float widths[] = {110, 110, 240};
    const float centres[] = {178, 308, 503};
    for (int j = 0; j < 3; ++j) {
        EXPECT_FLOAT_EQ(sprite(tabulature, j).width(), widths[j]) << j;
        EXPECT_FLOAT_EQ(sprite(tabulature, j).position().x, centres[j]) << j;
        EXPECT_FLOAT_EQ(sprite(tabulature, j).height(), 15) << j;
        EXPECT_EQ(sprite(tabulature, j).material().name, "Knob1");
    }
    // Pitch 20 with octave band 2: 545 − (20 − 12) × 7.5.
    EXPECT_FLOAT_EQ(sprite(tabulature, 0).position().y, 485);
    EXPECT_FLOAT_EQ(sprite(tabulature, 2).position().y, 470);
    EXPECT_EQ(hudSprite11.width(), 0);
}

TEST_F(LyricLinesTest, LinesAreCentredOnTheirFirstAndLastSyllable) {
    loadSong("0", "120", fourLineSong());
    lane.startSession();
    lane.lines().setTextColour(0x0000FF); // red
    lane.lines().BuildLines();

    ASSERT_EQ(singText.count(), 2);
    EXPECT_EQ(lineText(0), "la lala x");
    EXPECT_EQ(lineText(1), "do re");
    // Before centring the syllables stand at 200, 218 and 254; the shift is
    // 383 − (200 + 254) / 2 − 20 = 136.
    EXPECT_FLOAT_EQ(syllable(0, 0).position().x, 336);
    EXPECT_FLOAT_EQ(syllable(0, 1).position().x, 354);
    EXPECT_FLOAT_EQ(syllable(0, 2).position().x, 390);
    EXPECT_FLOAT_EQ(syllable(0, 0).position().y, 600);
    EXPECT_FLOAT_EQ(syllable(1, 0).position().y, 630);
    // Preview: 200 and 218, shift 383 − 209 − 20.
    EXPECT_FLOAT_EQ(syllable(1, 0).position().x, 354);

    EXPECT_EQ(syllable(0, 1).modulateColor(), scene::toColorF(0x0000FF, 0.5f));
    EXPECT_EQ(syllable(1, 1).modulateColor(), scene::toColorF(scene::clWhite, 0.3f));
    EXPECT_EQ(syllable(0, 2).tag(), 4);
    EXPECT_FLOAT_EQ(syllable(0, 2).tagFloat(), 22);
    EXPECT_EQ(syllable(0, 2).font(), &font);
    EXPECT_EQ(syllable(0, 2).layout(), scene::TTextLayout::tlCenter);
    EXPECT_EQ(lane.lines().nextLineStart(), 7);
}

TEST_F(LyricLinesTest, ALineOfOneSyllableStaysAtTheLeft) {
    loadSong("0", "120", {": 0 2 20 solo", "- 4", ": 5 2 20 a", ": 7 2 20 b", "- 9", "E"});
    lane.startSession();
    lane.lines().BuildLines();
    EXPECT_FLOAT_EQ(syllable(0, 0).position().x, 200);
}

TEST_F(LyricLinesTest, ALineWithoutLengthGetsNoBarsButStillAdvances) {
    loadSong("0", "120", {": 0 0 20 a", ": 2 0 20 b", "- 4", ": 5 2 20 c", "- 9", "E"});
    lane.startSession();
    lane.lines().BuildLines();
    EXPECT_EQ(tabulature.count(), 0);
    EXPECT_EQ(singText.child(0).count(), 2);

    lane.UpdateLane(2);
    EXPECT_EQ(lane.timeline().recordIndex(), 2);
    EXPECT_EQ(syllable(0, 1).modulateColor().a, 1.0f);
    EXPECT_EQ(lane.timeline().targetPitch(), 20);
    EXPECT_FALSE(lane.timeline().hasCurrentBar());
}

TEST_F(LyricLinesTest, ALongLineWithoutASecondBreakBuildsNoBars) {
    std::vector<std::string> body;
    for (int i = 0; i < 60; ++i)
        body.push_back(": " + std::to_string(2 * i) + " 2 20 a");
    body.push_back("E");
    loadSong("0", "120", body);
    lane.startSession();
    lane.lines().BuildLines();
    EXPECT_EQ(singText.count(), 1);
    EXPECT_EQ(singText.child(0).count(), session::GameLyricLayout::kWalkLength);
    EXPECT_EQ(tabulature.count(), 0);
    EXPECT_EQ(lane.lines().nextLineStart(), 0);
}

TEST_F(LyricLinesTest, AFullTableIsWalkedToItsEndAndNoFurther) {
    // 1667 lines of two notes and a break fill all 5001 records; the last break carries the mark.
    std::vector<std::string> body;
    for (int i = 0; i < 1667; ++i) {
        body.push_back(": " + std::to_string(10 * i) + " 2 20 a" + std::to_string(i));
        body.push_back(": " + std::to_string(10 * i + 3) + " 2 20 b" + std::to_string(i));
        body.push_back("- " + std::to_string(10 * i + 8));
    }
    loadSong("0", "120", body);
    ASSERT_EQ(song.recordCount(), songs::kSongRecordCount);
    lane.startSession();
    lane.lines().BuildLines();

    lane.UpdateLane(10 * 1666 + 3); // catches up to the last note
    EXPECT_EQ(lane.timeline().recordIndex(), 5000);
    EXPECT_EQ(lineText(0), "a1666 b1666");
    EXPECT_EQ(singText.count(), 2); // the preview line is empty: the table ends after the mark
    EXPECT_EQ(singText.child(1).count(), 0);
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsEndInView);

    lane.UpdateLane(1'000'000); // the last break, then the end of the lyrics
    EXPECT_EQ(lane.timeline().recordIndex(), 5002);
    EXPECT_EQ(lane.lines().lyricsState(), session::kLyricsFinished);
}

} // namespace
} // namespace cantorix::stage::testing
