#include "session/standard_timeline.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace cantorix::session {
namespace {

using songs::NoteKind;

songs::StandardNote note(NoteKind kind, int start, int length, int pitch, std::string text) {
    return {kind, start, length, pitch, std::move(text)};
}

TEST(VoiceTimelineTest, BreaksSplitTheVoiceIntoLinesThatTakeOverAtTheBreak) {
    struct Case {
        std::vector<std::int32_t> breaks;
        std::vector<std::pair<std::size_t, double>> lines; // first note, shown from
    };
    // Notes at beats 0-2, 4-6, 8-10 (the second one moved first in the file); 100 ms a beat.
    const Case cases[] = {
        {{}, {{0, -1}}},
        {{7}, {{0, -1}, {2, 700}}},
        {{5, 7}, {{0, -1}, {2, 600}}}, // a break inside a note: the next line waits for its end
        {{3, 6}, {{0, -1}, {1, 300}, {2, 600}}},
        {{4}, {{0, -1}, {1, 400}}}, // at the next note's start
        {{-2, 0, 11}, {{0, -1}}},   // before the first note or after the last: nothing
        {{7, 7}, {{0, -1}, {2, 700}}},
    };
    for (const Case& c : cases) {
        songs::StandardSong s;
        s.beatMs = 100;
        s.voices.push_back(
            {"",
             {note(NoteKind::Normal, 4, 2, 0, "b"), note(NoteKind::Normal, 0, 2, 0, "a"),
              note(NoteKind::Normal, 8, 2, 0, "c")},
             c.breaks});
        const VoiceTimeline t = voiceTimeline(s, 0);
        ASSERT_EQ(t.notes.size(), 3u);
        EXPECT_EQ(t.notes[0].note.text, "a");
        EXPECT_EQ(t.notes[1].startMs, 400);
        EXPECT_EQ(t.notes[1].endMs, 600);
        ASSERT_EQ(t.lines.size(), c.lines.size()) << c.breaks.size();
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(t.lines[i].first, c.lines[i].first);
            EXPECT_EQ(t.lines[i].last, i + 1 < c.lines.size() ? c.lines[i + 1].first : 3u);
            if (i > 0) {
                EXPECT_EQ(t.lines[i].showMs, c.lines[i].second);
            }
        }
    }
    // A break at the end of a line whose last note runs past it waits for that note to end.
    songs::StandardSong s;
    s.beatMs = 100;
    s.voices.push_back(
        {"", {note(NoteKind::Normal, 0, 6, 0, "a"), note(NoteKind::Normal, 8, 2, 0, "b")}, {4}});
    EXPECT_EQ(voiceTimeline(s, 0).lines.at(1).showMs, 600);
}

} // namespace
} // namespace cantorix::session
