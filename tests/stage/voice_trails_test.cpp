#include "lane_fixture.h"
#include "stage/singer_scores.h"
#include "stage/standard_lane_view.h"

#include <functional>
#include <random>

namespace cantorix::stage::testing {
namespace {

constexpr scene::TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

songs::StandardSong twoLineStandardSong() {
    songs::StandardSong s;
    s.bpm = 150;
    s.beatMs = 100;
    s.gapMs = 0;
    s.voices.push_back({"",
                        {{songs::NoteKind::Normal, 0, 4, 0, "one"},
                         {songs::NoteKind::Normal, 4, 4, 2, "two"},
                         {songs::NoteKind::Normal, 12, 4, 4, "three"}},
                        {10}});
    return s;
}

// The same rules on both formats' lanes: what a view does to reach its first note, a second
// note of the line, the next line, and to draw one tick of a trail.
struct Lane {
    const char* format;
    std::function<void()> start, firstNote, secondNote, nextLine;
    std::function<bool(std::size_t)> draw;
    LaneView* view;
};

class VoiceTrailsTest : public LaneFixture {
protected:
    std::vector<Lane> lanes() {
        return {
            {"game",
             [this] {
                 loadSong("0", "120", fourLineSong()), lane.startSession(),
                     lane.lines().BuildLines();
             },
             [this] { lane.UpdateLane(0); }, [this] { lane.UpdateLane(2); },
             [this] { lane.UpdateLane(9); },
             [this](std::size_t k) { return lane.drawVoiceTrail(20, k); }, &lane},
            {"standard", [this] { standardLane.startSession(), standardLane.buildFirstLines(); },
             [this] { standardLane.step(50); }, [this] { standardLane.step(450); },
             [this] { standardLane.step(1100); },
             [this](std::size_t k) {
                 return standardLane.drawVoiceTrail({true, 62.0}, k);
             },
             &standardLane},
        };
    }
    scene::TGLBaseSceneObject& trail(int k) { return singTab.child(k); }
    std::string segmentMaterial(int k) { return sprite(trail(k), 1).material().name; }

    songs::StandardSong standard = twoLineStandardSong();
    StandardLaneView standardLane{
        LaneScene{singText, tabulature, singTab, hudSprite11, materials, font, 766}, standard};
};

TEST_F(VoiceTrailsTest, EachSingerDrawsInAGroupOfTheirOwnInTheirColourUntilLost) {
    materials.addMaterial("Knob3").setDiffuse(scene::toColorF(scene::clWhite, 0.6f));
    for (const Lane& l : lanes()) {
        SCOPED_TRACE(l.format);
        l.view->setTrailColours({kRed, kGreen, kBlue});
        l.start();
        l.firstNote();
        ASSERT_EQ(singTab.count(), 3) << "one group per singer";
        EXPECT_EQ(singTab.tag(), 1);
        for (std::size_t k = 0; k < 3; ++k)
            for (int tick = 0; tick < 2; ++tick)
                EXPECT_TRUE(l.draw(k));
        l.view->markLost(1);
        EXPECT_TRUE(l.draw(0));
        EXPECT_TRUE(l.draw(1));
        EXPECT_TRUE(l.draw(3)) << "a trail nobody has draws nothing";
        l.secondNote();
        EXPECT_TRUE(l.draw(1));
        EXPECT_EQ(trail(0).count(), 5) << "anchor, three segments, anchor";
        EXPECT_EQ(trail(0).tag(), 2);
        EXPECT_EQ(trail(1).count(), 3) << "nothing after the loss, not even an anchor";
        EXPECT_EQ(trail(1).tag(), 1);
        EXPECT_EQ(trail(2).count(), 4);
        const std::pair<int, scene::TColor> worn[] = {{0, kRed}, {1, kGreen}, {2, kBlue}};
        for (const auto& [k, colour] : worn) {
            EXPECT_EQ(segmentMaterial(k), VoiceTrails::materialName(colour)) << k;
            EXPECT_EQ(materials.materialByName(segmentMaterial(k))->diffuse(),
                      scene::toColorF(colour, 0.6f))
                << "the singer's colour at the lane's opacity";
        }
        EXPECT_EQ(sprite(trail(0), 1).position(), sprite(trail(2), 1).position())
            << "singers singing alike draw alike";

        l.nextLine();
        l.draw(0);
        EXPECT_EQ(singTab.count(), 0) << "a new line starts no trail before its first note";
        l.start();
        l.firstNote();
        EXPECT_TRUE(l.draw(1));
        EXPECT_EQ(trail(1).count(), 2) << "a new session hears everyone again";
        l.view->setTrailColours({});
    }
}

TEST_F(VoiceTrailsTest, OneSingerWithoutColoursIsDrawnAsDesignedAndCanBeLost) {
    for (const Lane& l : lanes()) {
        SCOPED_TRACE(l.format);
        l.start();
        l.firstNote();
        EXPECT_TRUE(l.draw(0));
        EXPECT_TRUE(l.draw(1)) << "only trail 0 exists";
        ASSERT_EQ(singTab.count(), 2);
        EXPECT_EQ(sprite(singTab, 1).material().name, "Knob3");
        l.view->markLost(0);
        l.draw(0);
        l.secondNote();
        EXPECT_EQ(singTab.count(), 2);
    }
}

TEST(SingerScoresTest, EachSingerHasARowInTheirColourAndALostOneSaysSo) {
    scene::testing::FakeGlyphRasterizer glyphs; // 9 pixels a glyph
    scene::TGLBitmapFont font{"Scores", {"Arial", 16, false, scene::clWhite}, glyphs};
    scene::TGLDummyCube columns[2];
    for (scene::TGLDummyCube& column : columns) {
        column.setPosition({648, 200, 0});
        for (int i = 0; i < 2 * kScoreRowsPerBand; ++i) {
            auto& text = column.addNewChild<scene::TGLHUDText>();
            text.setFont(&font);
            text.setVisible(false);
        }
    }
    const auto text = [&](int band, int i) -> scene::TGLHUDText& {
        return dynamic_cast<scene::TGLHUDText&>(columns[band].child(i));
    };
    SingerScores scores({&columns[0], &columns[1]});
    scores.show(1, {{"Ann", kRed, 1200, false}, {"Bartholomew", kGreen, 35, true}, {"Cy", kBlue}});
    EXPECT_FALSE(text(0, 0).visible()) << "band 0 was not shown";
    struct Row {
        int index;
        const char* text;
        float y;
        scene::TColor colour;
    };
    // 114 pixels: "Ann" beside "1200"; the lost name has the row to itself, the loss under it.
    const Row rows[] = {{0, "Ann", 210, kRed},           {1, "1200", 210, kRed},
                        {2, "Bartholomew", 230, kGreen}, {3, kMicrophoneLost, 250, kGreen},
                        {4, "Cy", 270, kBlue},           {5, "0", 270, kBlue}};
    for (const Row& r : rows) {
        EXPECT_EQ(text(1, r.index).text(), r.text) << r.index;
        EXPECT_FLOAT_EQ(text(1, r.index).position().y, r.y) << r.index;
        EXPECT_EQ(text(1, r.index).modulateColor(), scene::toColorF(r.colour)) << r.index;
        EXPECT_TRUE(text(1, r.index).visible()) << r.index;
    }
    EXPECT_FLOAT_EQ(text(1, 1).position().x, 762);
    EXPECT_FALSE(text(1, 6).visible());

    // Nine singers, all lost: eight rows, closed up to stay beside the staff.
    scores.show(0, std::vector<SingerScoreLine>(9, {"A very long name indeed", kRed, 0, true}));
    EXPECT_LE(text(0, 15).position().y, 200 + kStaffLineSpacing * kStaffLines);
    EXPECT_EQ(text(0, 0).text(), "A very long\xE2\x80\xA6");
    scores.clear();
    EXPECT_FALSE(text(1, 0).visible());
}

// Whatever the name, the cut one fits its room and is the name, nothing, or a prefix of it with an
// ellipsis.
TEST(SingerScoresTest, ACutNameFitsAndKeepsItsStart) {
    scene::testing::FakeGlyphRasterizer glyphs;
    scene::TGLBitmapFont font{"Scores", {"Arial", 16, false, scene::clWhite}, glyphs};
    std::mt19937 random(5);
    const std::string letters[] = {"a", "\xC3\xA9", "\xE6\x97\xA5", " ", "\xF0\x9F\x8E\xA4"};
    for (int round = 0; round < 300; ++round) {
        std::string name;
        for (int n = static_cast<int>(random() % 20); n > 0; --n)
            name += letters[random() % 5];
        const int room = static_cast<int>(random() % 120);
        const std::string cut = SingerScores::fitted(name, font, room);
        ASSERT_LE(font.textWidth(cut), room) << name;
        if (cut != name && !cut.empty()) {
            ASSERT_GE(cut.size(), 3u);
            const std::string kept = cut.substr(0, cut.size() - 3);
            ASSERT_EQ(name.compare(0, kept.size(), kept), 0) << name;
            ASSERT_EQ(cut.substr(kept.size()), "\xE2\x80\xA6");
        }
    }
}

} // namespace
} // namespace cantorix::stage::testing
