#include "app/singing_bands.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "stage/note_lane_view.h"
#include "stage/stage_palette.h"
#include "stage/standard_lane_view.h"

#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace cantorix::app {
namespace {

using scene::TGLBaseSceneObject;

struct Extent {
    float top = 1e9f, bottom = -1e9f;
};

// The heights of the centres of the shown sprites and texts under a node.
Extent extentOf(const TGLBaseSceneObject& node, Extent e = {}) {
    for (int i = 0; i < node.count(); ++i) {
        if (!node.child(i).visible())
            continue;
        const float y = node.child(i).position().y;
        if (!dynamic_cast<const scene::TGLDummyCube*>(&node.child(i)))
            e = {std::min(e.top, y), std::max(e.bottom, y)};
        e = extentOf(node.child(i), e);
    }
    return e;
}

songs::StandardSong duet() {
    songs::StandardSong s;
    s.bpm = 150;
    s.beatMs = 100;
    const auto voice = [](int pitch) {
        return songs::StandardVoice{"",
                                    {{songs::NoteKind::Normal, 0, 4, pitch, "la"},
                                     {songs::NoteKind::Golden, 4, 4, pitch + 9, "li"},
                                     {songs::NoteKind::Normal, 12, 4, pitch, "lo"}},
                                    {10}};
    };
    s.voices = {voice(0), voice(-5)};
    return s;
}

// The lyric font's real proportions (27-pixel bold Arial: 25 up, 6 down, 31 a line).
scene::testing::FakeGlyphRasterizer lyricSizedGlyphs() {
    scene::testing::FakeGlyphRasterizer glyphs;
    glyphs.fontMetrics = {25, 6, 31};
    return glyphs;
}

class SingingBandsTest : public ::testing::Test {
protected:
    // A band's lane started and sung a little: its bars, a trail and both lyric lines drawn.
    std::unique_ptr<stage::LaneView> singOnBand(bool standard, int band, int bands) {
        const stage::LaneScene lane = bandLaneScene(game, band, bands);
        if (standard) {
            auto view = std::make_unique<stage::StandardLaneView>(lane, standardSong);
            view->timeline().setVoice(band);
            view->setSingers({{0x0000FF, "1"}, {0x00FF00, "2"}});
            view->startSession();
            view->buildFirstLines();
            view->step(150);
            // Folded onto the staff, and held at its edges.
            for (const double note : {95.0, 20.0})
                view->showHeard(band == 0 ? 0 : 1, {}, {true, note});
            return view;
        }
        auto view = std::make_unique<stage::NoteLaneView>(lane, gameSong);
        view->startSession();
        view->lines().BuildLines();
        view->UpdateLane(0);
        for (const std::uint8_t sung : {20, 30})
            view->drawVoiceTrail(sung);
        return view;
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs = lyricSizedGlyphs();
    GameScene game{loader, glyphs, "/nowhere"};
    songs::StandardSong standardSong = duet();
    songs::SongFile gameSong;
};

TEST_F(SingingBandsTest, EachBandKeepsItsNotesOnItsStaffAndItsLyricsBelowItWithinTheViewer) {
    gameSong.load("#TITLE:T\r\n#ARTIST:A\r\n#MP3:a.mp3\r\n#BPM:120\r\n#GAP:0\r\n: 0 2 20 la\r\n"
                  ": 2 2 30 lala\r\n- 5\r\n: 6 2 25 lo\r\nE",
                  "/songs/x", "x.txt");
    struct Row {
        bool standard;
        int bands;
    };
    const float lineHeight = static_cast<float>(game.fonts.lyrics.metrics().lineHeight);
    for (const Row& row : {Row{false, 1}, Row{true, 1}, Row{true, 2}, Row{false, 2}}) {
        SCOPED_TRACE(::testing::Message()
                     << (row.standard ? "standard" : "game") << " x " << row.bands);
        layOutBands(game, 3 - row.bands); // every row comes from the other layout
        layOutBands(game, row.bands);
        EXPECT_EQ(game.singing.bands[1].staff->parent()->visible(), row.bands == 2);
        stage::SingerScores scores = bandSingerScores(game);
        float below = 180; // the clock's and the oscilloscope's pictures end here
        for (int b = 0; b < row.bands; ++b) {
            SCOPED_TRACE(b);
            const SingingBand& band = game.singing.bands[b];
            const auto view = singOnBand(row.standard, b, row.bands);
            scores.show(b, std::vector<stage::SingerScoreLine>(8, {"Singer", 0x0000FF, 1000}));
            const Extent staff = extentOf(*band.staff), lyrics = extentOf(*band.lyrics);
            EXPECT_EQ(staff.top, row.bands == 1 ? 350 : staff.top) << "as designed";
            EXPECT_FLOAT_EQ(staff.bottom - staff.top, 165);
            EXPECT_GT(staff.top, below);
            ASSERT_GE(band.lyrics->count(), 2) << "the line sung and the next";
            // Bars and score rows on the staff; a trail's or a marker's edge may stand half a bar
            // beyond.
            // A bar's rim stands half the bar beyond its centre (a golden bar's: 11.5 pixels).
            for (const auto& [part, slack] : {std::pair{band.noteBars, 12.0f},
                                              {band.voiceTrail, 8.0f},
                                              {row.standard ? band.voiceMarkers : band.staff, 8.0f},
                                              {band.singerScores, 0.0f}}) {
                EXPECT_GE(extentOf(*part).top, staff.top - slack) << part->name();
                EXPECT_LE(extentOf(*part).bottom, staff.bottom + slack) << part->name();
            }
            EXPECT_GT(lyrics.top - lineHeight / 2, staff.bottom);
            EXPECT_GE(lyrics.bottom - lyrics.top, lineHeight - 4) << "two readable lines";
            if (row.standard) {
                // The darkened strip holds the whole band and no other band's.
                const scene::TGLHUDSprite& strip = *band.strip;
                const float top = strip.position().y - strip.height() / 2;
                EXPECT_LT(top, staff.top);
                EXPECT_GT(top, below - lineHeight / 2);
                EXPECT_GT(strip.position().y + strip.height() / 2, lyrics.bottom + lineHeight / 2);
                EXPECT_FLOAT_EQ(strip.width(), 766);
            } else {
                EXPECT_FLOAT_EQ(band.leadInBar->position().y, lyrics.top);
            }
            below = lyrics.bottom + lineHeight / 2;
        }
        EXPECT_LE(below, 729);
    }
}

TEST(BackgroundSlicesTest, StripsAreCutOutOnceAndTheRestIsKept) {
    using Strips = std::vector<std::pair<float, float>>;
    using Slices = std::vector<BackgroundSlice>;
    const std::tuple<const char*, Strips, Slices> rows[] = {
        {"none", {}, {{0, 730, false}}},
        {"one band", {{336, 650}}, {{0, 336, false}, {336, 650, true}, {650, 730, false}}},
        {"two bands, given out of order",
         {{448, 700}, {186, 436}},
         {{0, 186, false},
          {186, 436, true},
          {436, 448, false},
          {448, 700, true},
          {700, 730, false}}},
        {"touching and overlapping strips join",
         {{100, 200}, {200, 300}, {250, 260}},
         {{0, 100, false}, {100, 300, true}, {300, 730, false}}},
        {"cut to the picture",
         {{-20, 50}, {700, 900}},
         {{0, 50, true}, {50, 700, false}, {700, 730, true}}},
        {"empty and upside-down strips are none", {{300, 300}, {400, 350}}, {{0, 730, false}}},
    };
    for (const auto& [name, strips, slices] : rows)
        EXPECT_EQ(backgroundSlices(730, strips), slices) << name;
}

TEST_F(SingingBandsTest, OverAPictureTheStripsAreCutOutOfItAsDarkenedSlices) {
    layOutBands(game, 2);
    std::vector<std::unique_ptr<stage::LaneView>> views;
    for (int b = 0; b < 2; ++b) {
        views.push_back(singOnBand(true, b, 2));
        game.singing.bands[b].strip->setVisible(true);
    }
    stage::applyStagePalette(game.materials.lane, {});
    const auto stripTop = [&](int b) {
        const auto& strip = *game.singing.bands[b].strip;
        return strip.position().y - strip.height() / 2;
    };
    const float firstTop = stripTop(0), secondTop = stripTop(1);
    // Without a picture the strips are drawn over whatever is behind them.
    cutStripsFromBackground(game, 2);
    EXPECT_TRUE(game.singing.bands[0].strip->visible() && game.singing.bands[1].strip->visible());

    game.singing.songBackground->setVisible(true);
    cutStripsFromBackground(game, 2);
    EXPECT_FALSE(game.singing.bands[0].strip->visible() || game.singing.bands[1].strip->visible());
    const TGLBaseSceneObject& background = *game.singing.songBackground;
    EXPECT_FALSE(background.child(0).visible()) << "the whole picture gives way to its slices";
    float covered = 0;
    int darkened = 0;
    for (int i = 1; i < background.count(); ++i) {
        const auto& slice = dynamic_cast<const scene::TGLHUDSprite&>(background.child(i));
        ASSERT_TRUE(slice.visible()) << i;
        const float top = slice.position().y - slice.height() / 2;
        EXPECT_FLOAT_EQ(top, covered) << "slices follow each other down the picture";
        EXPECT_FLOAT_EQ(slice.picturePart().top * 730, top);
        covered += slice.height();
        if (slice.modulateColor().r < 1) {
            EXPECT_FLOAT_EQ(top, darkened == 0 ? firstTop : secondTop);
            EXPECT_NEAR(slice.modulateColor().r, 0.24, 0.01);
            ++darkened;
        }
    }
    EXPECT_FLOAT_EQ(covered, 730);
    EXPECT_EQ(darkened, 2);
}

} // namespace
} // namespace cantorix::app
