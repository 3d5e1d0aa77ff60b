#include "session/game_timeline.h"
#include "session/session_clock.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::session {
namespace {

// A game song read from its body lines, after a header of 120 BPM and no gap.
songs::SongFile gameSong(const std::vector<std::string>& body) {
    std::string text = "#TITLE:T\r\n#ARTIST:A\r\n#MP3:a.mp3\r\n#BPM:120\r\n#GAP:0";
    for (const std::string& line : body)
        text += "\r\n" + line;
    songs::SongFile song;
    song.load(text, "/songs/x", "x.txt");
    return song;
}

// The timeline alone, stepped by play position as the window-less run steps it: judging starts
// with the first highlighted bar, not with the first highlighted syllable.
TEST(GameTimelineTest, JudgingStartsWithTheFirstSyllableThatHasABar) {
    std::vector<std::string> longLine;
    for (int i = 0; i < 60; ++i)
        longLine.push_back(": " + std::to_string(2 * i) + " 2 20 a");
    longLine.push_back("E");
    struct Case {
        const char* name;
        std::vector<std::string> body;
        std::int32_t beat; // stepped to; none when negative
        bool judging;
        std::uint8_t target;
    };
    const Case cases[] = {
        {"before the first step", {": 0 2 20 a", "- 3", ": 4 2 21 b", "E"}, -1, false, 0},
        {"first note with bars", {": 0 2 20 a", "- 3", ": 4 2 21 b", "E"}, 0, true, 20},
        {"over a break", {": 0 2 20 a", "- 3", ": 4 2 21 b", "E"}, 3, true, 0},
        {"a line without length",
         {": 0 0 20 a", ": 2 0 22 b", "- 4", ": 5 2 20 c", "E"},
         2,
         false,
         22},
        {"a line longer than a walk", longLine, 4, false, 20},
    };
    for (const Case& c : cases) {
        const songs::SongFile song = gameSong(c.body);
        GameTimeline timeline(song);
        timeline.startSession();
        timeline.startFirstLines();
        EXPECT_FALSE(timeline.judging()) << c.name;
        // A beat lasts 125 ms at 120 BPM; without a gap the first note is due at once.
        if (c.beat >= 0)
            timeline.step(std::int64_t{125} * c.beat);
        EXPECT_EQ(timeline.judging(), c.judging) << c.name;
        EXPECT_EQ(timeline.judgedPitch(), std::optional<std::uint8_t>(c.target)) << c.name;
    }
}

TEST(GameTimelineTest, EndsTheLyricsOnceTheLastNoteIsOverAndKnowsWhenEachEntryWasDue) {
    const songs::SongFile song = gameSong({": 0 2 20 a", "- 3", ": 4 2 21 b", "E"});
    GameTimeline timeline(song);
    timeline.startSession();
    timeline.startFirstLines();
    EXPECT_EQ(timeline.entryDueMs(0), std::optional<double>(beatReachedMs(0, 0, 120)));
    EXPECT_EQ(timeline.entryDueMs(2), std::optional<double>(beatReachedMs(4, 0, 120)));
    EXPECT_EQ(timeline.entryDueMs(3), std::nullopt); // past the last note
    timeline.step(800); // beat 6.4 rounds to 6: "b" (4 … 6) has ended
    EXPECT_TRUE(timeline.lyricsFinished());
    EXPECT_EQ(timeline.entered(), 4);
    EXPECT_EQ(timeline.judgedPitch(), std::optional<std::uint8_t>(0));
}

} // namespace
} // namespace cantorix::session
