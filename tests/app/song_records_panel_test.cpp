#include "app/song_records_panel.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "songs/song_identity.h"

#include <gtest/gtest.h>

using namespace cantorix;
using namespace cantorix::app;

namespace {

// Sung on 2026-12-08 (UTC noon) plus `day` days.
records::Performance sung(std::int64_t player, int voice, std::int64_t total, int difficulty,
                          int day, bool finished = true) {
    records::Performance p;
    p.playerId = player;
    p.key = {songs::songIdentity("Cantorix", "Two Lighthouses"), voice};
    p.difficulty = difficulty;
    p.total = total;
    p.sungAtMs = 1796731200000 + day * 86400000LL;
    p.finished = finished;
    return p;
}

TEST(SongRecordsPanelTest, ShowsTheBestResultsAndEachBoundSingersBest) {
    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
    records::RecordBook book;
    book.assign({{1, "Anna", 1, "", 0}, {2, "Ben", 2, "", 0}, {3, "Cleo", 3, "", 0}},
                {sung(1, 1, 9870, 2, 0), sung(2, 1, 12340, 3, 1), sung(3, 1, 500, 1, 2),
                 sung(1, 1, 11000, 2, 3), sung(2, 1, 99999, 3, 4, false), sung(2, 2, 4000, 1, 5)});
    SongRecordsPanel panel{game, book};
    const PanelSinger anna{1, "Anna", 1, 1}, ben{2, "Ben", 2, 2}, cleo{3, "Cleo", 3, 2};
    const struct {
        const char* title;
        bool duet;
        std::vector<PanelSinger> singers;
        std::vector<std::string> lines;
    } rows[] = {
        // The first singer's voice; an unfinished session is no record; a guest has no best.
        {"Two Lighthouses",
         true,
         {anna, ben, cleo, {{}, "Guest", 4, 1}},
         {"Best (P1)", "1. Ben 12,340 Hard 2026-12-09", "2. Anna 11,000 Medium 2026-12-11",
          "3. Anna 9,870 Medium 2026-12-08", "Anna (P1): best 11,000", "Ben (P2): best 4,000",
          "Cleo (P2): not sung yet"}},
        {"two  LIGHTHOUSES",
         true,
         {ben},
         {"Best (P2)", "1. Ben 4,000 Easy 2026-12-13", "Ben (P2): best 4,000"}},
        // Read now as a song of one voice: nothing of it sung yet.
        {"Two Lighthouses", false, {anna}, {"Best", "Not sung yet", "Anna: not sung yet"}},
    };
    for (const auto& row : rows) {
        panel.setSingers(row.singers);
        panel.showSong("Cantorix", row.title, row.duet);
        EXPECT_EQ(panel.shownLines(), row.lines) << row.title;
    }
    panel.hideSong();
    EXPECT_FALSE(game.selection.records->visible());

    // Eight singers take two columns; a rename shows once the book changed, and in half the
    // width the name gives way, never the figures. Every line stays on the screen.
    panel.setSingers(std::vector<PanelSinger>(8, anna));
    panel.showSong("Cantorix", "Two Lighthouses", true);
    book.putPlayer({1, "Anna Lind", 0, "", 0});
    panel.refresh();
    ASSERT_EQ(panel.shownLines().size(), 12u);
    EXPECT_EQ(panel.shownLines()[4], "An\u2026ind (P1): best 11,000");
    for (const scene::TGLHUDText* line : game.selection.recordLines) {
        const scene::Vec3 at = line->position();
        EXPECT_TRUE(at.y >= 580 && at.y + 18 <= 729) << line->text();
        EXPECT_LE(at.x + game.fonts.menuPlain.textWidth(line->text()), 766) << line->text();
    }
}

} // namespace
