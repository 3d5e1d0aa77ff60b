#include "session/scoring.h"
#include "session/standard_judge.h"

#include <gtest/gtest.h>
#include <limits>

namespace cantorix::session {
namespace {

using songs::NoteKind;

pitch::SemitoneReading voiced(double midi) {
    return {true, midi};
}
constexpr pitch::SemitoneReading kUnvoiced{false, 60.0};

TEST(StandardJudgeTest, FoldsTheDistanceByOctavesIntoMinusSixToFive) {
    struct Case {
        double detected;
        int pitch;
        int distance;
    };
    const Case cases[] = {
        {60.0, 0, 0},  {48.0, 0, 0},  {84.2, 0, 0},   {36.0, 0, 0},  // any octave of C4
        {65.0, 0, 5},  {66.0, 0, -6}, {54.0, 0, -6},  {55.0, 0, -5}, // the edges
        {65.4, 0, 5},  {65.5, 0, -6}, {64.5, 0, 4},   {59.5, 0, 0},  // halves to even
        {71.0, -1, 0}, {62.0, 10, 4}, {50.0, -13, 3}, {77.0, 24, 5}, {43.49, 7, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(foldedSemitoneDistance(c.detected, c.pitch), c.distance)
            << c.detected << " against pitch " << c.pitch;
}

TEST(StandardJudgeTest, HitRuleByKindDifficultyAndReading) {
    struct Case {
        NoteKind kind;
        Difficulty difficulty;
        pitch::SemitoneReading reading;
        bool judged;
        int points, possible;
    };
    // Pitch 5 (F4, MIDI 65) throughout.
    const Case cases[] = {
        {NoteKind::Normal, Difficulty::Medium, voiced(65.2), true, 1, 1},
        {NoteKind::Normal, Difficulty::Medium, voiced(53.0), true, 1, 1}, // an octave down
        {NoteKind::Normal, Difficulty::Medium, voiced(66.0), true, 1, 1},
        {NoteKind::Normal, Difficulty::Medium, voiced(67.0), true, 0, 1},
        {NoteKind::Normal, Difficulty::Easy, voiced(67.0), true, 1, 1},
        {NoteKind::Normal, Difficulty::Easy, voiced(62.6), true, 1, 1}, // rounds to 63: −2
        {NoteKind::Normal, Difficulty::Easy, voiced(62.4), true, 0, 1},
        {NoteKind::Normal, Difficulty::Hard, voiced(65.4), true, 1, 1},
        {NoteKind::Normal, Difficulty::Hard, voiced(64.6), true, 1, 1},
        {NoteKind::Normal, Difficulty::Hard, voiced(66.0), true, 0, 1},
        {NoteKind::Normal, Difficulty::Easy, kUnvoiced, true, 0, 1},
        {NoteKind::Golden, Difficulty::Medium, voiced(77.0), true, 2, 2},
        {NoteKind::Golden, Difficulty::Hard, voiced(70.0), true, 0, 2},
        {NoteKind::Golden, Difficulty::Easy, kUnvoiced, true, 0, 2},
        {NoteKind::Rap, Difficulty::Hard, voiced(70.0), true, 1, 1}, // any voiced pitch
        {NoteKind::Rap, Difficulty::Hard, kUnvoiced, true, 0, 1},
        {NoteKind::GoldenRap, Difficulty::Hard, voiced(40.0), true, 2, 2},
        {NoteKind::GoldenRap, Difficulty::Easy, kUnvoiced, true, 0, 2},
        {NoteKind::Freestyle, Difficulty::Easy, voiced(65.0), false, 0, 0},
        {NoteKind::Freestyle, Difficulty::Hard, kUnvoiced, false, 0, 0},
        // A reading no voice can give is a miss, not a fault.
        {NoteKind::Normal, Difficulty::Easy, voiced(std::numeric_limits<double>::quiet_NaN()), true,
         0, 1},
        {NoteKind::Normal, Difficulty::Easy, voiced(1e300), true, 0, 1},
    };
    for (const Case& c : cases) {
        const songs::StandardNote note{c.kind, 0, 4, 5, "la"};
        const TickJudgement v = judgeNote(note, c.reading, c.difficulty);
        EXPECT_EQ(v.judged, c.judged) << static_cast<char>(c.kind) << " " << c.reading.midiNote;
        EXPECT_EQ(v.points, c.points) << static_cast<char>(c.kind) << " " << c.reading.midiNote
                                      << " " << difficultyName(c.difficulty);
        EXPECT_EQ(v.possible, c.possible) << static_cast<char>(c.kind);
    }
}

// Two lines: notes at 1000–1400 (pitch 0) and 1400–1600 (pitch 2), then after a gap a golden
// note at 2000–2500 (pitch 4) and a freestyle one at 2600–2800.
VoiceTimeline twoLines() {
    VoiceTimeline t;
    t.notes = {{{NoteKind::Normal, 0, 4, 0, "a"}, 1000, 1400},
               {{NoteKind::Normal, 4, 2, 2, "b"}, 1400, 1600},
               {{NoteKind::Golden, 10, 5, 4, "c"}, 2000, 2500},
               {{NoteKind::Freestyle, 16, 2, 0, "d"}, 2600, 2800}};
    t.lines = {{0, 2, -1e300}, {2, 4, 1700}};
    return t;
}

TEST(StandardJudgeTest, TheDelayChoosesWhichNoteIsDueAndNothingIsJudgedBetweenNotes) {
    struct Case {
        int delayMs;
        double songMs;
        int due;
    };
    const Case cases[] = {
        {0, 999, -1},    {0, 1000, 0},   {0, 1399.9, 0}, {0, 1400, 1},    {0, 1600, -1},
        {0, 1800, -1},   {0, 2000, 2},   {0, 2499, 2},   {0, 2500, -1},   {120, 1100, -1},
        {120, 1120, 0},  {120, 1520, 1}, {120, 1600, 1}, {120, 1720, -1}, {500, 2050, 1},
        {500, 2450, -1}, {500, 3100, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StandardJudge(twoLines(), Difficulty::Medium, c.delayMs).dueNote(c.songMs), c.due)
            << "delay " << c.delayMs << " at " << c.songMs;

    const StandardJudge judge(twoLines(), Difficulty::Medium, 0);
    EXPECT_FALSE(judge.judge({255, voiced(60), 1800}).judged);
    EXPECT_FALSE(judge.judge({255, voiced(60), 2700}).judged); // freestyle
    const TickJudgement golden = judge.judge({255, voiced(64), 2100});
    EXPECT_EQ(golden.points, 2);
    EXPECT_EQ(golden.line, 1);
    // The same reading, heard 500 ms late by the microphone, belongs to the note before.
    const TickJudgement late =
        StandardJudge(twoLines(), Difficulty::Hard, 500).judge({255, voiced(62), 1950});
    EXPECT_EQ(late.points, 1);
    EXPECT_EQ(late.line, 0);
}

TEST(StandardJudgeTest, ScoringTalliesLinesAndCountsAGoldenHitAsOneHitOfARun) {
    const StandardJudge judge(twoLines(), Difficulty::Medium, 0);
    Scoring scoring;
    scoring.startSession();
    scoring.setLines(judge.lineStartsMs());
    // 20 ticks from 1000 ms: 12 on the first line (8 hits, then 4 misses on the second note),
    // 8 between notes, then the golden note sung in tune for 10 ticks.
    for (int i = 0; i < 12; ++i)
        scoring.score(judge.judge({255, voiced(i < 8 ? 60 : 70), 1000.0 + 50 * i}));
    EXPECT_EQ(scoring.hitStreak(), 0);
    for (int i = 0; i < 8; ++i)
        scoring.score(judge.judge({255, kUnvoiced, 1600.0 + 50 * i}));
    for (int i = 0; i < 10; ++i)
        scoring.score(judge.judge({255, voiced(76), 2000.0 + 50 * i}));
    EXPECT_EQ(scoring.notePoints(), 8 + 20);
    EXPECT_EQ(scoring.possible(), 12 + 20);
    EXPECT_EQ(scoring.goldenPoints(), 20); // the golden note's share of the note points
    // Runs: 8 hits give one bonus; 10 golden hits (after the gap, which breaks nothing) give one.
    EXPECT_EQ(scoring.lineBonus(), 2);
    EXPECT_EQ(scoring.hitStreak(), 4);
    // Each line holds its bonus point, and the second its golden points.
    const std::vector<LineTally> expected = {{1000, 12, 8, 1, 0}, {2000, 20, 20, 1, 20}};
    EXPECT_EQ(scoring.lines(), expected);
    EXPECT_EQ(possibleShareText(scoring.notePoints(), scoring.possible()), "88 %");
    EXPECT_EQ(possibleShareText(41, 50), "82 %");
    EXPECT_EQ(possibleShareText(1, 200), "0 %"); // 0.5 rounds to even
    EXPECT_FALSE(possibleShareText(0, 0).has_value());
}

} // namespace
} // namespace cantorix::session
