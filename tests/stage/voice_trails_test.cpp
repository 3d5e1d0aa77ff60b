#include "fakes/blank_image_loader.h"
#include "lane_fixture.h"
#include "stage/line_rating.h"
#include "stage/singer_scores.h"

#include <functional>
#include <random>
#include <tuple>

namespace cantorix::stage::testing {
namespace {

constexpr scene::TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

// The game format's lane: how it starts, reaches a moment of its song (0 its first note, 1 the
// second, 2 the next line before its first note) and draws a trail's tick. (The standard songs'
// stage marks voices and fills hits instead of drawing trails.)
struct Lane {
    const char* format;
    LaneView* view;
    std::function<void()> start;
    std::function<void(int)> reach;
    std::function<bool(std::size_t)> draw;
};

class VoiceTrailsTest : public LaneFixture {
protected:
    std::vector<Lane> lanes() {
        const auto startGame = [this] {
            loadSong("0", "120", fourLineSong());
            lane.startSession();
            lane.lines().BuildLines();
        };
        return {{"game", &lane, startGame, [this](int m) { lane.UpdateLane(m == 2 ? 9 : 2 * m); },
                 [this](std::size_t k) { return lane.drawVoiceTrail(20, k); }}};
    }
    scene::TGLBaseSceneObject& trail(int k) { return singTab.child(k); }
};

TEST_F(VoiceTrailsTest, EachSingerDrawsInAGroupOfTheirOwnInTheirColourUntilLost) {
    materials.addMaterial("Knob3").setDiffuse(scene::toColorF(scene::clWhite, 0.6f));
    for (const Lane& l : lanes()) {
        SCOPED_TRACE(l.format);
        l.view->setTrailColours({kRed, kGreen, kBlue});
        l.start();
        l.reach(0);
        ASSERT_EQ(singTab.count(), 3) << "one group per singer";
        for (std::size_t k : {0, 0, 1, 1, 2, 2})
            EXPECT_TRUE(l.draw(k));
        l.view->markLost(1);
        for (std::size_t k : {0, 1, 3}) // trail 3 is nobody's: nothing drawn
            EXPECT_TRUE(l.draw(k));
        l.reach(1);
        l.draw(1);
        EXPECT_EQ(trail(0).count(), 5) << "anchor, three segments, anchor";
        EXPECT_EQ(trail(1).count(), 3) << "nothing after the loss, not even an anchor";
        EXPECT_EQ(trail(2).count(), 4);
        EXPECT_EQ(trail(0).tag(), 2);
        const std::pair<int, scene::TColor> worn[] = {{0, kRed}, {1, kGreen}, {2, kBlue}};
        for (const auto& [k, colour] : worn) {
            const std::string material = sprite(trail(k), 1).material().name;
            EXPECT_EQ(material, VoiceTrails::materialName(colour));
            EXPECT_EQ(materials.materialByName(material)->diffuse(), scene::toColorF(colour, 0.6f))
                << "the singer's colour at the lane's opacity";
        }
        l.reach(2);
        l.draw(0);
        EXPECT_EQ(singTab.count(), 0) << "a new line starts no trail before its first note";
        l.start();
        l.reach(0);
        l.draw(1);
        EXPECT_EQ(trail(1).count(), 2) << "a new session hears everyone again";

        // Without colours: the one designed trail, straight in the group, which can be lost too.
        l.view->setTrailColours({});
        l.start();
        l.reach(0);
        EXPECT_TRUE(l.draw(0));
        EXPECT_TRUE(l.draw(1)) << "only trail 0 exists";
        l.view->markLost(0);
        l.draw(0);
        ASSERT_EQ(singTab.count(), 2);
        EXPECT_EQ(sprite(singTab, 1).material().name, "Knob3");
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
        for (int i = 0; i < kScoreRowsPerBand; ++i)
            column.addNewChild<scene::TGLHUDSprite>().setVisible(false);
    }
    const auto text = [&](int band, int i) -> scene::TGLHUDText& {
        return dynamic_cast<scene::TGLHUDText&>(columns[band].child(i));
    };
    SingerScores scores({&columns[0], &columns[1]});
    scores.show(1, {{"Ann", kRed, 1200, false}, {"Bartholomew", kGreen, 35, true}, {"Cy", kBlue}});
    EXPECT_FALSE(text(0, 0).visible()) << "band 0 was not shown";
    // 114 pixels: "Ann" beside "1200"; the lost name has the row to itself, the loss under it.
    const std::tuple<const char*, float, scene::TColor> rows[] = {
        {"Ann", 210, kRed},           {"1200", 210, kRed},
        {"Bartholomew", 230, kGreen}, {kMicrophoneLost, 250, kGreen},
        {"Cy", 270, kBlue},           {"0", 270, kBlue}};
    for (int i = 0; i < 6; ++i) {
        const auto& [caption, y, colour] = rows[i];
        EXPECT_TRUE(text(1, i).visible() && text(1, i).text() == caption) << i;
        EXPECT_FLOAT_EQ(text(1, i).position().y, y) << i;
        EXPECT_EQ(text(1, i).modulateColor(), scene::toColorF(colour)) << i;
    }
    EXPECT_FLOAT_EQ(text(1, 1).position().x, 762);
    EXPECT_FALSE(text(1, 6).visible());
    // The word the last line earned stands in the name's place for a moment; a player's picture
    // stands square before the name, which moves right and is cut to the room left.
    scene::testing::BlankImageLoader images;
    scene::TGLMaterialLibrary pictures("Pictures", images, "/");
    const auto picture = [&](int i) -> scene::TGLHUDSprite& {
        return dynamic_cast<scene::TGLHUDSprite&>(columns[1].child(2 * kScoreRowsPerBand + i));
    };
    scores.show(1, {{"Ann", kRed, 1200, false, "", "Great", {&pictures, "Ann"}},
                    {"Bartholomew", kGreen, 35, false, "", "", {&pictures, "Bart"}},
                    {"Cy", kBlue}});
    EXPECT_EQ(text(1, 0).text(), "Great");
    EXPECT_EQ(text(1, 1).text(), "1200");
    EXPECT_TRUE(picture(0).visible() && picture(1).visible());
    EXPECT_EQ(picture(1).material().name, "Bart");
    EXPECT_FLOAT_EQ(picture(0).height(), 18);
    EXPECT_FLOAT_EQ(picture(0).position().y, text(1, 0).position().y);
    EXPECT_GE(text(1, 0).position().x, 648 + picture(0).width());
    EXPECT_EQ(text(1, 2).text(), "Bartho\xE2\x80\xA6") << "the picture takes the name's room";
    EXPECT_FALSE(picture(2).visible()) << "Cy has no picture";
    EXPECT_FLOAT_EQ(text(1, 4).position().x, 648);

    // Nine singers, all lost: eight rows, closed up to stay beside the staff.
    scores.show(0, std::vector<SingerScoreLine>(9, {"A very long name indeed", kRed, 0, true}));
    EXPECT_LE(text(0, 15).position().y, 200 + kStaffLineSpacing * kStaffLines);
    EXPECT_EQ(text(0, 0).text(), "A very long\xE2\x80\xA6");
    scores.clear();
    EXPECT_FALSE(text(1, 0).visible());
    EXPECT_FALSE(picture(0).visible());
}

TEST(LineRatingTest, EachShareOfALinesPointsEarnsItsWord) {
    const std::tuple<std::int32_t, std::int32_t, const char*> rows[] = {
        {0, 0, nullptr}, // a line of freestyle notes offers nothing to rate
        {10, 10, "Perfect"},
        {9, 10, "Perfect"},
        {899, 1000, "Great"},
        {7, 10, "Great"},
        {69, 100, "Good"},
        {45, 100, "Good"},
        {44, 100, "OK"},
        {20, 100, "OK"},
        {19, 100, "Try again"},
        {0, 100, "Try again"},
        {2'000'000'000, 2'000'000'000, "Perfect"}, // no overflow on a long line
    };
    for (const auto& [points, possible, word] : rows) {
        const char* rated = lineRatingWord(points, possible);
        EXPECT_EQ(rated ? std::string(rated) : "none", word ? std::string(word) : "none")
            << points << " of " << possible;
    }
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
        const std::string kept = cut.size() >= 3 ? cut.substr(0, cut.size() - 3) : "";
        // A whole number of characters kept: the next byte of the name starts a character.
        const bool whole = (static_cast<unsigned char>(name[kept.size()]) & 0xC0) != 0x80;
        ASSERT_TRUE(cut == name || cut.empty() ||
                    (name.starts_with(kept) && whole && cut.ends_with("\xE2\x80\xA6")))
            << name;
    }
}

} // namespace
} // namespace cantorix::stage::testing
