#include "session/analysis_tick_step.h"

#include <gtest/gtest.h>
#include <vector>

namespace cantorix::session {
namespace {

// A timeline that reports whether a bar has been reached, and which targets one pitch.
class TrailLane : public SongTimeline {
public:
    void startSession() override {}
    void startFirstLines() override {}
    double leadInTenths() const override { return 0; }
    void step(std::int64_t) override {}
    bool lyricsFinished() const override { return false; }
    std::int32_t entered() const override { return 0; }
    std::optional<double> entryDueMs(std::int32_t) const override { return std::nullopt; }
    bool judging() const override { return reached; }
    std::optional<std::uint8_t> judgedPitch() const override { return 30; }

    bool reached = true;
};

// Remembers every tick it is asked to judge; each one is a hit.
class RecordingJudge : public TickJudge {
public:
    TickJudgement judge(const SungTick& tick) const override {
        asked.push_back(tick);
        return {true, 1, 1, -1};
    }
    mutable std::vector<SungTick> asked;
};

constexpr std::size_t kWindow = 2048; // 46.4 ms at 44100 Hz

TEST(AnalysisTickStepTest, JudgesEachReadingOneTickLaterAtTheMiddleOfItsWindow) {
    Scoring scoring;
    TrailLane lane;
    RecordingJudge judge;
    AnalysisTickStep step(scoring, lane, judge);
    step.startSession(lane, judge, false);

    // The game's rule judges even the first tick, on the value carried in from the menus.
    step.scoreHeld();
    ASSERT_EQ(judge.asked.size(), 1u);
    EXPECT_EQ(judge.asked[0].sungValue, 255);
    EXPECT_EQ(scoring.targetPitch(), 30);

    // Read at the 1250 ms tick over the window that ends there, judged at the next one.
    step.hold(30, {true, 66.0}, kWindow, 1250);
    step.scoreHeld();
    ASSERT_EQ(judge.asked.size(), 2u);
    EXPECT_EQ(judge.asked[1].sungValue, 30);
    EXPECT_EQ(judge.asked[1].semitone, (pitch::SemitoneReading{true, 66.0}));
    EXPECT_NEAR(judge.asked[1].songMs, 1250 - 23.22, 0.01);

    // Before the lane has a bar, nothing is judged.
    lane.reached = false;
    step.scoreHeld();
    EXPECT_EQ(judge.asked.size(), 2u);
    EXPECT_EQ(scoring.notePoints(), 2);
}

TEST(AnalysisTickStepTest, AStandardSessionDoesNotJudgeWhatTheMenusHeard) {
    Scoring scoring;
    TrailLane lane;
    RecordingJudge judge;
    AnalysisTickStep step(scoring, lane, judge);
    // A reading from the previous session, at another song's position.
    step.hold(30, {true, 60.0}, kWindow, 90000);

    step.startSession(lane, judge, true);
    step.scoreHeld();
    EXPECT_TRUE(judge.asked.empty());

    // The session's own first reading is judged.
    step.hold(30, {true, 60.0}, kWindow, 4050);
    step.scoreHeld();
    ASSERT_EQ(judge.asked.size(), 1u);
    EXPECT_NEAR(judge.asked[0].songMs, 4050 - 23.22, 0.01);
}

} // namespace
} // namespace cantorix::session
