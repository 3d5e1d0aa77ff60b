#include "app/singing_bands.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "stage/note_lane_view.h"
#include "stage/standard_lane_view.h"

#include <gtest/gtest.h>
#include <memory>

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

} // namespace
} // namespace cantorix::app
