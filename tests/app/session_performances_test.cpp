#include "app/session_performances.h"
#include "songs/song_identity.h"

#include <gtest/gtest.h>

namespace cantorix::app {
namespace {

// A singer whose scoring holds lines starting at these times, line i hit on its first 6 + i of
// 10 ticks: a run of six, so a bonus point, on each line, and 2 golden points on the last.
SingerOutcome singer(const std::string& name, std::size_t voice,
                     const std::vector<double>& lineStartsMs) {
    SingerOutcome outcome;
    outcome.name = name;
    outcome.voice = voice;
    outcome.scoring.startSession();
    outcome.scoring.setLines(lineStartsMs);
    for (std::size_t line = 0; line < lineStartsMs.size(); ++line)
        for (int tick = 0; tick < 10; ++tick) {
            const bool last = line + 1 == lineStartsMs.size();
            outcome.scoring.score({.judged = true,
                                   .points = tick < 6 + static_cast<int>(line) ? 1 : 0,
                                   .possible = 1,
                                   .line = static_cast<int>(line),
                                   .golden = last && tick < 2});
        }
    return outcome;
}

TEST(SessionPerformances, AMedleyKeepsEachSongsPartPerSingerAndNeverAsARecord) {
    songs::MedleySong medley;
    medley.stretches.resize(2);
    medley.stretches[0].artist = "A", medley.stretches[0].title = "Solo";
    medley.stretches[0].partFromMs = 4000, medley.stretches[0].partToMs = 12000;
    medley.stretches[1].artist = "B", medley.stretches[1].title = "Duet";
    medley.stretches[1].partFromMs = 16000, medley.stretches[1].partToMs = 20000;
    medley.stretches[1].voices = 2;
    // Lines at 4 s and 8 s are the solo's, 16 s and 18 s the duet's.
    const std::vector<double> lines = {4000, 8000, 16000, 18000};
    const std::vector<SingerOutcome> outcomes = {singer("Ann", 0, lines), singer("Bo", 1, lines)};
    SessionFacts facts;
    facts.artist = "Solo · Duet", facts.title = "Medley (2)";
    facts.startedAtMs = 1000, facts.sungMs = 20000;
    facts.finished = facts.judged = true;
    facts.medley = &medley;
    const std::vector<records::Performance> rows = sessionPerformances(outcomes, facts);
    ASSERT_EQ(rows.size(), 4u);
    // Song after song, singer after singer.
    const struct {
        const char* singer;
        const char* title;
        int voice, notePoints, lineBonus, golden;
    } expected[] = {{"Ann", "Solo", 0, 6 + 7, 1 + 1, 0},
                    {"Bo", "Solo", 0, 6 + 7, 1 + 1, 0},
                    {"Ann", "Duet", 1, 8 + 9, 1 + 1, 2},
                    {"Bo", "Duet", 2, 8 + 9, 1 + 1, 2}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const records::Performance& row = rows[i];
        EXPECT_EQ(row.singerName, expected[i].singer);
        EXPECT_EQ(row.title, expected[i].title);
        EXPECT_EQ(row.key.song, songs::songIdentity(row.artist, expected[i].title));
        EXPECT_EQ(row.key.voice, expected[i].voice);
        EXPECT_EQ(row.notePoints, expected[i].notePoints);
        EXPECT_EQ(row.possible, 20);
        EXPECT_EQ(row.lineBonus, expected[i].lineBonus);
        EXPECT_EQ(row.goldenPoints, expected[i].golden);
        EXPECT_EQ(row.total, row.notePoints + row.lineBonus);
        EXPECT_TRUE(row.finished && row.medleyPart);
        EXPECT_FALSE(row.countsAsRecord());
    }
    // A song's rows are the song's own, not the medley's.
    facts.medley = nullptr;
    const std::vector<records::Performance> whole = sessionPerformances(outcomes, facts);
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_EQ(whole[0].title, "Medley (2)");
    EXPECT_TRUE(whole[0].countsAsRecord());
}

} // namespace
} // namespace cantorix::app
