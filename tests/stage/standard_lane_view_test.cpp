#include "fakes/fake_media_player.h"
#include "lane_fixture.h"
#include "stage/session_clock_view.h"
#include "stage/standard_lane_view.h"

#include <random>

namespace cantorix::stage::testing {
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

class StandardLaneViewTest : public LaneFixture {
protected:
    void start(int voice = 0) {
        standardLane.timeline().setVoice(voice);
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
    StandardLaneView standardLane{
        LaneScene{singText, tabulature, singTab, hudSprite11, materials, font, 766}, standard};
};

TEST_F(StandardLaneViewTest, ShowsTheLineBeingSungWithItsSyllableHighlightedAndTheNextBelow) {
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
    EXPECT_EQ(standardLane.timeline().entered(), 6);
    EXPECT_EQ(standardLane.timeline().entryDueMs(5), 2900.0);
    EXPECT_FALSE(standardLane.timeline().lyricsFinished());
    standardLane.step(3000); // "end" has ended
    EXPECT_TRUE(standardLane.timeline().lyricsFinished());
}

TEST_F(StandardLaneViewTest, BarsStandForTheirTimeAndPitchAndShowTheirKind) {
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

TEST_F(StandardLaneViewTest, TheTrailFollowsTheSongButNothingIsJudged) {
    start();
    EXPECT_FALSE(standardLane.drawVoiceTrail({})) << "nothing highlighted yet";
    standardLane.step(800);
    EXPECT_TRUE(standardLane.drawVoiceTrail({}));
    EXPECT_FALSE(standardLane.timeline().judgedPitch().has_value());
    ASSERT_EQ(singTab.count(), 2);                              // the anchor and one segment
    EXPECT_FLOAT_EQ(sprite(singTab, 1).position().x, 123 + 65); // 100 ms of 800 along 520 px
    standardLane.drawVoiceTrail({});
    EXPECT_LT(sprite(singTab, 2).position().y, 0) << "silence is drawn out of sight";
    standardLane.step(1700); // a new line starts a new trail
    EXPECT_EQ(singTab.count(), 0);
}

TEST_F(StandardLaneViewTest, TheTrailShowsTheSemitoneInTheOctaveOfTheBarSung) {
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
        ASSERT_TRUE(standardLane.drawVoiceTrail(c.reading));
        EXPECT_FLOAT_EQ(sprite(singTab, singTab.count() - 1).position().y, c.y)
            << c.reading.midiNote;
    }
}

TEST_F(StandardLaneViewTest, StartEndAndLeadInComeFromTheSong) {
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
        EXPECT_EQ(standardLane.timeline().startMs(), c.startMs) << c.start;
        EXPECT_EQ(standardLane.timeline().endMs(), c.endMs) << c.start;
    }
    EXPECT_DOUBLE_EQ(standardLane.timeline().leadInTenths(), 7.0);

    // The clock ends the session at the song's end, before the music's.
    standard.startMs = 0;
    standard.endMs = 2000;
    songs::testing::FakeMediaPlayer player;
    scene::TGLHUDText text{"Text"};
    scene::TGLHUDSprite gauge{"Gauge"}, progress{"Progress"};
    scene::TGLBaseSceneObject pause{"Pause"};
    SessionClockView clock{player, ClockScene{text, gauge, progress, pause}, standardLane};
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
    EXPECT_TRUE(standardLane.timeline().lyricsFinished());
    clock.tick();
    EXPECT_EQ(singText.count(), 0);
    EXPECT_EQ(tabulature.count(), 0);
}

TEST_F(StandardLaneViewTest, ADuetShowsTheChosenVoicesLines) {
    standard.voices.push_back(
        {"Bea",
         {note(NoteKind::Normal, 3, 1, 0, "second"), note(NoteKind::Normal, 9, 1, 0, "voice")},
         {6}});
    start(1);
    EXPECT_EQ(lineText(0), "second");
    EXPECT_EQ(lineText(1), "voice");
    EXPECT_DOUBLE_EQ(standardLane.timeline().leadInTenths(), 8.0);
    start(7); // out of range: the first voice
    EXPECT_EQ(lineText(0), "Hel lo  world");
}

// Whatever the overlaps and however the position jumps, the lane shows the line whose time has
// come and lights the last of its notes sounding then.
TEST_F(StandardLaneViewTest, TheDueLineAndNoteHoldForAnySongAndAnySeek) {
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
        const session::VoiceTimeline& t = standardLane.timeline().voice();
        double lastEnd = 0;
        for (const session::TimedNote& n : t.notes)
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
            ASSERT_FALSE(standardLane.timeline().lyricsFinished());
            ASSERT_EQ(standardLane.timeline().currentLine(), static_cast<int>(line))
                << round << " at " << ms;
            ASSERT_EQ(standardLane.timeline().highlightedNote(), due) << round << " at " << ms;
            // The view follows: it shows the timeline's line and lights its note.
            ASSERT_EQ(standardLane.shownLine(), static_cast<int>(line)) << round << " at " << ms;
            ASSERT_EQ(standardLane.litNote(), due) << round << " at " << ms;
        }
    }
}

} // namespace
} // namespace cantorix::stage::testing

namespace cantorix::stage::testing {
namespace {

TEST_F(StandardLaneViewTest, ADuetsSecondBandStepsWithTheClockAndHasItsOwnLeadIn) {
    standard.voices.push_back(
        {"Bea",
         {note(NoteKind::Normal, 40, 2, 0, "late"), note(NoteKind::Normal, 44, 2, 0, "start")},
         {43}});
    scene::TGLDummyCube secondText{"SingText2"}, secondBars{"Tabulature2"}, secondTrail{"SingTab2"};
    StandardLaneView second{LaneScene{secondText, secondBars, secondTrail, hudSprite11, materials,
                                      font, 766, bandPlace(1, 2)},
                            standard};
    songs::testing::FakeMediaPlayer player;
    scene::TGLHUDText text{"Text"};
    scene::TGLHUDSprite gauge{"Gauge"}, progress{"Progress"}, secondProgress{"Progress2"};
    scene::TGLBaseSceneObject pause{"Pause"};
    SessionClockView clock{player, ClockScene{text, gauge, progress, pause}, standardLane};
    clock.setSecondBand(&second, &secondProgress);
    player.setFileName("a.ogg");
    player.open();
    player.play();
    start();
    second.timeline().setVoice(1);
    second.startSession();
    second.buildFirstLines();
    clock.showLeadIn();
    EXPECT_TRUE(secondProgress.visible());
    EXPECT_FLOAT_EQ(secondProgress.position().x,
                    dynamic_cast<scene::TGLHUDText&>(secondText.child(0).child(0)).position().x -
                        25);
    // The first voice starts at 700 ms, the second at 4500: each bar fills for its own voice.
    for (std::int64_t ms = 0; ms <= 4600; ms += 10) {
        player.currentPosition = ms;
        clock.tick();
        if (ms == 800) {
            EXPECT_TRUE(!progress.visible() && secondProgress.visible() && second.litNote() < 0);
        }
    }
    EXPECT_FALSE(secondProgress.visible());
    EXPECT_GT(secondProgress.width(), 0);
    EXPECT_EQ(second.litNote(), 0) << "\"late\" is sung";
    EXPECT_FLOAT_EQ(dynamic_cast<scene::TGLHUDText&>(secondText.child(0).child(0)).position().y,
                    bandPlace(1, 2).lyricsY);
    player.currentPosition = 5200; // both voices are over: both bands empty
    clock.tick();
    clock.tick();
    EXPECT_EQ(secondText.count(), 0);
}

} // namespace
} // namespace cantorix::stage::testing
