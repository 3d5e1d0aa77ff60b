#include "fakes/fake_media_player.h"
#include "lane_fixture.h"
#include "session/session_clock.h"
#include "session/standard_lane.h"

#include <random>

namespace cantorix::session::testing {
namespace {

using songs::NoteKind;

songs::StandardNote note(NoteKind kind, int start, int length, int pitch, std::string text) {
    return {kind, start, length, pitch, std::move(text)};
}

// Beats of 100 ms after a gap of 500 ms: beat b starts at 500 + 100 b.
// Lines: "Hel" "lo " "world" | "yo" (rap) "free" (freestyle) | "end".
songs::StandardSong threeLineSong() {
    songs::StandardSong s;
    s.bpm = 150;
    s.beatMs = 100;
    s.gapMs = 500;
    s.voices.push_back(
        {"",
         {note(NoteKind::Normal, 2, 2, 0, "Hel"), note(NoteKind::Normal, 4, 2, 2, "lo "),
          note(NoteKind::Golden, 6, 4, 4, "world"), note(NoteKind::Rap, 14, 2, -3, "yo"),
          note(NoteKind::Freestyle, 17, 3, 7, "free"), note(NoteKind::Normal, 24, 1, 5, "end")},
         {12, 22}});
    return s;
}

class StandardLaneTest : public LaneFixture {
protected:
    void start(int voice = 0) {
        standardLane.setVoice(voice);
        standardLane.startSession();
        standardLane.buildFirstLines();
    }
    std::string highlighted() {
        for (int i = 0; singText.count() > 0 && i < singText.child(0).count(); ++i)
            if (syllable(0, i).modulateColor().a == 1.0f)
                return syllable(0, i).text();
        return "";
    }

    songs::StandardSong standard = threeLineSong();
    StandardLane standardLane{
        LaneScene{singText, tabulature, singTab, hudSprite11, materials, font, 766}, standard};
};

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

TEST_F(StandardLaneTest, ShowsTheLineBeingSungWithItsSyllableHighlightedAndTheNextBelow) {
    start();
    struct Step {
        std::int64_t ms;
        const char* current;
        const char* next;
        const char* sung;
    };
    const Step steps[] = {
        {0, "Hel lo  world", "yo free", ""},
        {699, "Hel lo  world", "yo free", ""},
        {700, "Hel lo  world", "yo free", "Hel"},
        {899, "Hel lo  world", "yo free", "Hel"},
        {900, "Hel lo  world", "yo free", "lo "},
        {1499, "Hel lo  world", "yo free", "world"},
        {1500, "Hel lo  world", "yo free", ""},
        {1699, "Hel lo  world", "yo free", ""},
        {1700, "yo free", "end", ""},
        {1900, "yo free", "end", "yo"},
        {2250, "yo free", "end", "free"},
        {2700, "end", "", ""},
        {2950, "end", "", "end"},
    };
    for (const Step& s : steps) {
        standardLane.step(s.ms);
        EXPECT_EQ(lineText(0), s.current) << s.ms;
        EXPECT_EQ(singText.count() > 1 ? lineText(1) : "", s.next) << s.ms;
        EXPECT_EQ(highlighted(), s.sung) << s.ms;
    }
    EXPECT_EQ(standardLane.entered(), 6);
    EXPECT_EQ(standardLane.entryDueMs(5), 2900.0);
    EXPECT_FALSE(standardLane.lyricsFinished());
    standardLane.step(3000); // "end" has ended
    EXPECT_TRUE(standardLane.lyricsFinished());
}

TEST_F(StandardLaneTest, BarsStandForTheirTimeAndPitchAndShowTheirKind) {
    start();
    // Line 1 spans 700 … 1500 ms over the lane's 520 pixels from x = 123; pitches 0 … 4.
    ASSERT_EQ(tabulature.count(), 3);
    struct Bar {
        float left, width, y, height;
        const char* material;
    };
    const Bar line1[] = {{123, 128, 507.5f, 15, "Knob1"},
                         {253, 128, 432.5f, 15, "Knob1"},
                         {383, 258, 357.5f, 21, "KnobGold1"}};
    for (int i = 0; i < 3; ++i) {
        const scene::TGLHUDSprite& b = sprite(tabulature, i);
        EXPECT_FLOAT_EQ(b.position().x - b.width() / 2, line1[i].left) << i;
        EXPECT_FLOAT_EQ(b.width(), line1[i].width) << i;
        EXPECT_FLOAT_EQ(b.position().y, line1[i].y) << i;
        EXPECT_FLOAT_EQ(b.height(), line1[i].height) << i;
        EXPECT_EQ(b.material().name, line1[i].material) << i;
    }
    standardLane.step(1200);
    EXPECT_EQ(sprite(tabulature, 2).material().name, "KnobGold2");
    EXPECT_EQ(sprite(tabulature, 0).material().name, "Knob1");

    // The rap note is hollow: a dark inside over its bar; the freestyle one is faint.
    standardLane.step(1700);
    ASSERT_EQ(tabulature.count(), 3);
    EXPECT_EQ(sprite(tabulature, 0).material().name, "Knob1");
    EXPECT_EQ(sprite(tabulature, 1).material().name, "KnobHole");
    EXPECT_FLOAT_EQ(sprite(tabulature, 1).width(), sprite(tabulature, 0).width() - 4);
    EXPECT_EQ(sprite(tabulature, 2).material().name, "KnobFaint1");
    EXPECT_FLOAT_EQ(sprite(tabulature, 0).position().y, 507.5f);
    EXPECT_FLOAT_EQ(sprite(tabulature, 2).position().y, 357.5f);

    // A line of one pitch stands in the middle of the staff.
    standardLane.step(2700);
    ASSERT_EQ(tabulature.count(), 1);
    EXPECT_FLOAT_EQ(sprite(tabulature, 0).position().y, 432.5f);
}

TEST_F(StandardLaneTest, TheTrailFollowsTheSongButNothingIsJudged) {
    start();
    EXPECT_FALSE(standardLane.UpdateVoiceTrail(30)) << "nothing highlighted yet";
    standardLane.step(800);
    EXPECT_TRUE(standardLane.UpdateVoiceTrail(30));
    EXPECT_FALSE(standardLane.judgedPitch().has_value());
    ASSERT_EQ(singTab.count(), 2);                              // the anchor and one segment
    EXPECT_FLOAT_EQ(sprite(singTab, 1).position().x, 123 + 65); // 100 ms of 800 along 520 px
    standardLane.UpdateVoiceTrail(255);
    EXPECT_LT(sprite(singTab, 2).position().y, 0) << "silence is drawn out of sight";
    standardLane.step(1700); // a new line starts a new trail
    EXPECT_EQ(singTab.count(), 0);
}

TEST_F(StandardLaneTest, TheTrailShowsTheSemitoneInTheOctaveOfTheBarSung) {
    start();
    standardLane.step(800); // "Hel", pitch 0, the line's lowest of 0 … 4: its bar at y 507.5
    struct Case {
        pitch::SemitoneReading reading;
        float y;
    };
    const Case cases[] = {
        {{true, 60.0}, 507.5f},
        {{true, 48.0}, 507.5f},
        {{true, 84.0}, 507.5f}, // C in any octave
        {{true, 62.0}, 432.5f},
        {{true, 50.0}, 432.5f},
        {{true, 74.0}, 432.5f}, // D: the "lo" bar
        {{true, 61.0}, 470.0f},
        {{true, 59.0}, 515.0f},    // below the lowest bar: at the lane's edge
        {{false, 60.0}, -1000.0f}, // unvoiced: out of sight
    };
    for (const Case& c : cases) {
        standardLane.setSemitoneReading(c.reading);
        ASSERT_TRUE(standardLane.UpdateVoiceTrail(255));
        EXPECT_FLOAT_EQ(sprite(singTab, singTab.count() - 1).position().y, c.y)
            << c.reading.midiNote;
    }
}

TEST_F(StandardLaneTest, StartEndAndLeadInComeFromTheSong) {
    struct Case {
        double start;
        std::optional<double> end;
        std::int64_t startMs;
        std::optional<std::int64_t> endMs;
    };
    for (const Case& c : {Case{0, std::nullopt, 0, std::nullopt}, Case{1200.4, 2600, 1200, 2600},
                          Case{3000, 2000, 3000, std::nullopt}, Case{-50, 10, 0, 10}}) {
        standard.startMs = c.start;
        standard.endMs = c.end;
        start();
        EXPECT_EQ(standardLane.startMs(), c.startMs) << c.start;
        EXPECT_EQ(standardLane.endMs(), c.endMs) << c.start;
    }
    EXPECT_DOUBLE_EQ(standardLane.leadInTenths(), 7.0);

    // The clock ends the session at the song's end, before the music's.
    standard.startMs = 0;
    standard.endMs = 2000;
    songs::testing::FakeMediaPlayer player;
    scene::TGLHUDText text{"Text"};
    scene::TGLHUDSprite gauge{"Gauge"}, progress{"Progress"};
    scene::TGLBaseSceneObject pause{"Pause"};
    SessionClock clock{player, ClockScene{text, gauge, progress, pause}, standardLane};
    player.setFileName("a.ogg");
    player.open();
    player.play();
    start();
    player.currentPosition = 1999;
    EXPECT_FALSE(clock.tick());
    player.currentPosition = 2000;
    EXPECT_TRUE(clock.tick());
    // Once the last note is over, the clock empties the lyric area.
    standard.endMs.reset();
    start();
    player.currentPosition = 3000;
    clock.tick();
    EXPECT_TRUE(standardLane.lyricsFinished());
    clock.tick();
    EXPECT_EQ(singText.count(), 0);
    EXPECT_EQ(tabulature.count(), 0);
}

TEST_F(StandardLaneTest, ADuetShowsTheChosenVoicesLines) {
    standard.voices.push_back(
        {"Bea",
         {note(NoteKind::Normal, 3, 1, 0, "second"), note(NoteKind::Normal, 9, 1, 0, "voice")},
         {6}});
    start(1);
    EXPECT_EQ(lineText(0), "second");
    EXPECT_EQ(lineText(1), "voice");
    EXPECT_DOUBLE_EQ(standardLane.leadInTenths(), 8.0);
    start(7); // out of range: the first voice
    EXPECT_EQ(lineText(0), "Hel lo  world");
}

// Whatever the overlaps and however the position jumps, the lane shows the line whose time has
// come and lights the last of its notes sounding then.
TEST_F(StandardLaneTest, TheDueLineAndNoteHoldForAnySongAndAnySeek) {
    std::mt19937 random(19);
    for (int round = 0; round < 40; ++round) {
        songs::StandardVoice voice;
        const int notes = 1 + static_cast<int>(random() % 60);
        for (int i = 0; i < notes; ++i)
            voice.notes.push_back(note(NoteKind::Normal, static_cast<int>(random() % 200),
                                       static_cast<int>(random() % (i % 7 == 0 ? 40 : 6)), 0, "x"));
        for (int i = static_cast<int>(random() % 8); i > 0; --i)
            voice.breaks.push_back(static_cast<int>(random() % 220));
        standard.voices = {voice};
        start();
        const VoiceTimeline& t = standardLane.timeline();
        double lastEnd = 0;
        for (const TimedNote& n : t.notes)
            lastEnd = std::max(lastEnd, n.endMs);
        for (int probe = 0; probe < 60; ++probe) {
            const auto ms = static_cast<std::int64_t>(random() % static_cast<unsigned>(lastEnd));
            standardLane.step(ms);
            std::size_t line = 0;
            while (line + 1 < t.lines.size() && t.lines[line + 1].showMs <= ms)
                ++line;
            int due = -1;
            for (std::size_t k = t.lines[line].first; k < t.lines[line].last; ++k)
                if (t.notes[k].startMs <= ms && ms < t.notes[k].endMs)
                    due = static_cast<int>(k);
            ASSERT_FALSE(standardLane.lyricsFinished());
            ASSERT_EQ(standardLane.currentLine(), static_cast<int>(line)) << round << " at " << ms;
            ASSERT_EQ(standardLane.highlightedNote(), due) << round << " at " << ms;
        }
    }
}

} // namespace
} // namespace cantorix::session::testing
