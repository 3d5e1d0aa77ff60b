#include "fakes/fake_media_player.h"
#include "lane_fixture.h"
#include "stage/session_clock_view.h"
#include "stage/stage_palette.h"
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
    // The syllables sung to their end, and the letters the wipe has reached in the one being sung.
    std::string sung() {
        std::string text;
        for (int i = 0; singText.count() > 0 && i < singText.child(0).count(); ++i)
            if (syllable(0, i).modulateColor().a == 1.0f)
                text += syllable(0, i).text();
        return text;
    }
    std::string wiped() {
        std::string text;
        for (int i = 0; singText.count() > 2 && i < singText.child(2).count(); ++i)
            if (singText.child(2).child(i).visible())
                text += dynamic_cast<scene::TGLHUDText&>(singText.child(2).child(i)).text();
        return text;
    }
    std::vector<const scene::TGLHUDSprite*> spritesOf(const scene::TGLBaseSceneObject& group,
                                                      const std::string& material) {
        std::vector<const scene::TGLHUDSprite*> found;
        for (int i = 0; i < group.count(); ++i)
            if (auto* s = dynamic_cast<const scene::TGLHUDSprite*>(&group.child(i));
                s && s->material().name == material)
                found.push_back(s);
        return found;
    }
    LaneScene standardScene() {
        LaneScene scene{singText, tabulature, singTab, hudSprite11, materials, font, 766};
        scene.fills = &fills;
        scene.markers = &markers;
        scene.countdown = &countdown;
        return scene;
    }

    scene::TGLDummyCube fills{"Fills"}, markers{"Markers"};
    scene::TGLHUDText countdown{"Countdown"};
    songs::StandardSong standard = threeLineSong();
    StandardLaneView standardLane{standardScene(), standard};
};

TEST_F(StandardLaneViewTest, ShowsTheLineBeingSungWipingItsSyllableAndTheNextBelow) {
    start();
    // Glyphs are 9 pixels wide: a letter lights once the note has come to its middle.
    struct Step {
        std::int64_t ms;
        const char* current;
        const char* next;
        const char* sung;
        const char* wiped;
    };
    const Step steps[] = {
        {0, "Hel lo  world", "yo free", "", ""},
        {699, "Hel lo  world", "yo free", "", ""},
        {800, "Hel lo  world", "yo free", "", "He"},
        {899, "Hel lo  world", "yo free", "", "Hel"},
        {900, "Hel lo  world", "yo free", "Hel", ""},
        {1000, "Hel lo  world", "yo free", "Hel", "lo"},
        {1499, "Hel lo  world", "yo free", "Hello ", "world"},
        {1500, "Hel lo  world", "yo free", "Hello world", ""},
        {1700, "yo free", "end", "", ""},
        {2000, "yo free", "end", "", "y"},
        {2250, "yo free", "end", "yo", "f"},
        {2700, "end", "", "", ""},
        {2950, "end", "", "", "en"},
    };
    for (const Step& s : steps) {
        standardLane.step(s.ms);
        EXPECT_EQ(lineText(0), s.current) << s.ms;
        EXPECT_EQ(lineText(1), s.next) << s.ms;
        EXPECT_EQ(sung(), s.sung) << s.ms;
        EXPECT_EQ(wiped(), s.wiped) << s.ms;
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
    const std::vector<BarPlace> line1 = {{700, 900, 123, 128, 507.5f, 15},
                                         {900, 1100, 253, 128, 432.5f, 15},
                                         {1100, 1500, 383, 258, 357.5f, 21}};
    ASSERT_EQ(standardLane.bars().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const BarPlace& bar = standardLane.bars()[i];
        EXPECT_FLOAT_EQ(bar.left, line1[i].left) << i;
        EXPECT_FLOAT_EQ(bar.width, line1[i].width) << i;
        EXPECT_FLOAT_EQ(bar.centreY, line1[i].centreY) << i;
        EXPECT_FLOAT_EQ(bar.height, line1[i].height) << i;
    }
    // Every bar outlined; the golden one in gold with a glint; the one being sung lit.
    EXPECT_EQ(spritesOf(tabulature, kBarOutline).size(), 8u) << "four edges a bar";
    EXPECT_EQ(spritesOf(tabulature, kGoldOutline).size(), 4u);
    EXPECT_EQ(spritesOf(tabulature, kGoldShine).size(), 1u);
    EXPECT_EQ(spritesOf(tabulature, kBarFill).size(), 2u);
    standardLane.step(800);
    EXPECT_EQ(spritesOf(tabulature, kBarSung).size(), 1u);
    EXPECT_FLOAT_EQ(spritesOf(tabulature, kBarSung)[0]->position().y, 507.5f);

    // The rap note is hollow and hatched; the freestyle one is faint and dashed, with no outline.
    standardLane.step(1700);
    EXPECT_EQ(spritesOf(tabulature, kBarHollow).size(), 1u);
    EXPECT_GT(spritesOf(tabulature, kBarOutline).size(), 8u) << "hatch marks and dashes";
    ASSERT_EQ(spritesOf(tabulature, kFreestyle).size(), 1u);
    EXPECT_FLOAT_EQ(spritesOf(tabulature, kFreestyle)[0]->position().y, 357.5f);

    // A line of one pitch stands in the middle of the staff.
    standardLane.step(2700);
    ASSERT_EQ(standardLane.bars().size(), 1u);
    EXPECT_FLOAT_EQ(standardLane.bars()[0].centreY, 432.5f);
}

session::ListeningLoop::HeardTick heardAt(double ms, int note, int points) {
    session::TickJudgement verdict{true, points, 1, 0, false, note, ms};
    return {verdict, {true, 60.0}};
}

TEST_F(StandardLaneViewTest, HitsFillTheirSpanInTheSingersStripeAndMissesFillNothing) {
    standardLane.setSingers({{0x0000FF, "1"}, {0x00FF00, "2"}});
    start();
    standardLane.step(800);
    // Singer 1 hits "Hel" (700 … 900) twice in a row and once more on "lo"; singer 2 misses.
    standardLane.showHeard(0, {heardAt(775, 0, 1), heardAt(825, 0, 1), heardAt(925, 1, 1)}, {});
    standardLane.showHeard(1, {heardAt(775, 0, 0), heardAt(825, 0, 0)}, {});
    standardLane.showHeard(1, {heardAt(1225, 5, 1)}, {}); // a note of another line
    ASSERT_EQ(fills.count(), 2) << "a group per singer";
    ASSERT_EQ(fills.child(0).count(), 2) << "one fill a run of hits";
    EXPECT_EQ(fills.child(1).count(), 0) << "misses fill nothing";
    const auto& held = sprite(fills.child(0), 0);
    EXPECT_EQ(held.material().name, "StageSinger0000FF");
    const BarPlace& bar = standardLane.bars()[0];
    // 750 … 850 ms of the bar's 200 ms over its 128 pixels.
    EXPECT_FLOAT_EQ(held.position().x - held.width() / 2, bar.left + 32);
    EXPECT_FLOAT_EQ(held.width(), 64);
    // The first singer's stripe is the bar's upper half; the second's would be the lower.
    EXPECT_FLOAT_EQ(held.position().y, bar.centreY - bar.height / 4);
    EXPECT_FLOAT_EQ(held.height(), bar.height / 2);
    // A hit reaching past its note's end fills only to the end.
    const auto& next = sprite(fills.child(0), 1);
    EXPECT_FLOAT_EQ(next.position().x - next.width() / 2, standardLane.bars()[1].left);
    standardLane.step(1700);
    EXPECT_EQ(fills.child(0).count() + fills.child(1).count(), 0)
        << "a new line starts without fills";
}

TEST_F(StandardLaneViewTest, StripesStayThreePixelsAndTheBarGrowsForManySingers) {
    for (std::size_t singers = 1; singers <= 8; ++singers) {
        const float height = barHeightFor(15, singers);
        float bottom = 100 - height / 2;
        for (std::size_t k = 0; k < singers; ++k) {
            const Stripe stripe = stripeOf(k, singers, 100, height);
            EXPECT_GE(stripe.height, kThinnestStripe) << singers;
            EXPECT_FLOAT_EQ(stripe.top, bottom) << "stripes meet without overlapping";
            bottom = stripe.top + stripe.height;
        }
        EXPECT_FLOAT_EQ(bottom, 100 + height / 2) << "and fill the bar";
    }
}

TEST_F(StandardLaneViewTest, TheMarkerShowsTheSemitoneInTheOctaveOfTheNoteSung) {
    standardLane.setSingers({{0x0000FF, "1"}});
    start();
    standardLane.step(800); // "Hel", pitch 0, the line's lowest of 0 … 4: its bar at y 507.5
    const auto& box = sprite(markers, 1);
    struct Case {
        pitch::SemitoneReading reading;
        float y; // < 0: no marker
    };
    const Case cases[] = {
        {{true, 60.0}, 507.5f}, {{true, 48.0}, 507.5f}, {{true, 84.0}, 507.5f}, // any C
        {{true, 62.0}, 432.5f}, {{true, 50.0}, 432.5f}, {{true, 74.0}, 432.5f}, // any D
        {{true, 61.0}, 470.0f}, {{true, 59.0}, 515.0f}, // below the lowest bar: at the edge
        {{false, 60.0}, -1.0f},                         // unvoiced: no marker
    };
    for (const Case& c : cases) {
        standardLane.showHeard(0, {}, {}); // silence first: the voice comes in where it is
        standardLane.showHeard(0, {}, c.reading);
        EXPECT_EQ(box.visible(), c.y >= 0) << c.reading.midiNote;
        if (c.y >= 0) {
            EXPECT_FLOAT_EQ(box.position().y, c.y) << c.reading.midiNote;
        }
    }
    // From one reading to the next the marker glides; a stem shows the way to the note.
    standardLane.showHeard(0, {}, {true, 60.0});
    standardLane.showHeard(0, {}, {true, 62.0});
    standardLane.step(817);
    EXPECT_GT(box.position().y, 432.5f);
    EXPECT_LT(box.position().y, 507.5f);
    EXPECT_TRUE(sprite(markers, 0).visible()) << "off its note";
    standardLane.step(1100);
    EXPECT_NEAR(box.position().y, 432.5f, 0.5f);
}

TEST_F(StandardLaneViewTest, ACountdownShowsBeforeTheFirstNoteAndInLongPausesOnly) {
    standard.voices[0].notes.back().startBeat = 100; // "end" at 10,500 ms: a pause of 8 s
    start();
    struct Step {
        std::int64_t ms;
        const char* shown; // nullptr: no countdown
    };
    const Step steps[] = {{0, "1"},    {699, "1"},  {700, nullptr},  {1800, nullptr},
                          {5000, "6"}, {9600, "1"}, {10500, nullptr}};
    for (const Step& s : steps) {
        standardLane.step(s.ms);
        EXPECT_EQ(countdown.visible(), s.shown != nullptr) << s.ms;
        if (s.shown) {
            EXPECT_EQ(countdown.text(), s.shown) << s.ms;
        }
        // The waiting line's bar is faint until a second before its note.
        if (s.ms == 5000 || s.ms == 9600) {
            EXPECT_EQ(spritesOf(tabulature, kBarWaiting).size(), s.ms == 5000 ? 1u : 0u) << s.ms;
            EXPECT_EQ(spritesOf(tabulature, kBarFill).size(), s.ms == 5000 ? 0u : 1u) << s.ms;
        }
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

TEST_F(StandardLaneViewTest, ADuetsSecondBandStepsWithTheClockAndCountsDownToItsOwnFirstNote) {
    standard.voices.push_back(
        {"Bea",
         {note(NoteKind::Normal, 40, 2, 0, "late"), note(NoteKind::Normal, 44, 2, 0, "start")},
         {43}});
    scene::TGLDummyCube secondText{"SingText2"}, secondBars{"Tabulature2"}, secondTrail{"SingTab2"};
    scene::TGLHUDText secondCountdown{"Countdown2"};
    LaneScene secondScene{secondText, secondBars, secondTrail, hudSprite11,
                          materials,  font,       766,         bandPlace(1, 2)};
    secondScene.countdown = &secondCountdown;
    StandardLaneView second{secondScene, standard};
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
    EXPECT_FALSE(progress.visible() || secondProgress.visible()) << "each band counts down";
    // The first voice starts at 700 ms, the second at 4500: each band counts down to its own.
    for (std::int64_t ms = 0; ms <= 4600; ms += 10) {
        player.currentPosition = ms;
        clock.tick();
        if (ms == 800) {
            EXPECT_TRUE(!countdown.visible() && secondCountdown.visible() && second.litNote() < 0);
            EXPECT_EQ(secondCountdown.text(), "4");
        }
    }
    EXPECT_FALSE(secondCountdown.visible());
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
