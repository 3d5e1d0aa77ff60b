#include "app/song_records_panel.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "songs/song_identity.h"

#include <gtest/gtest.h>

using namespace cantorix;
using namespace cantorix::app;

namespace {

constexpr std::int64_t kNoonDec8 = 1796731200000; // 2026-12-08 12:00 UTC
constexpr std::int64_t kDay = 86400000;

records::Performance sung(std::optional<std::int64_t> player, std::string name, int voice,
                          std::int64_t total, int difficulty, int day, bool finished = true) {
    records::Performance p;
    p.playerId = player;
    p.singerName = std::move(name);
    p.colour = 0x00102030;
    p.artist = "Cantorix";
    p.title = "Two Lighthouses";
    p.key = {songs::songIdentity(p.artist, p.title), voice};
    p.difficulty = difficulty;
    p.total = total;
    p.sungAtMs = kNoonDec8 + day * kDay;
    p.finished = finished;
    return p;
}

class SongRecordsPanelTest : public ::testing::Test {
protected:
    SongRecordsPanelTest() {
        book.assign({{1, "Anna", 0x000000FF, "", 0},
                     {2, "Ben", 0x0000FF00, "", 0},
                     {3, "Cleo", 0x00FF0000, "", 0}},
                    {sung(1, "Anna", 1, 9870, 2, 0), sung(2, "Ben", 1, 12340, 3, 1),
                     sung({}, "Guest", 1, 500, 1, 2), sung(1, "Anna", 1, 11000, 2, 3),
                     sung(2, "Ben", 1, 99999, 3, 4, false), sung(2, "Ben", 2, 4000, 1, 5)});
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
    records::RecordBook book;
    SongRecordsPanel panel{game, book};
};

TEST_F(SongRecordsPanelTest, ShowsTheBestResultsAndEachBoundSingersBest) {
    const PanelSinger anna{1, "Anna", 0x000000FF, 1}, ben{2, "Ben", 0x0000FF00, 2},
        cleo{3, "Cleo", 0x00FF0000, 1}, guest{{}, "Guest", 0x00FFFFFF, 1};
    const struct {
        const char* title;
        bool duet;
        std::vector<PanelSinger> singers;
        std::vector<std::string> lines;
    } rows[] = {
        // The first voice by the first singer's; an unfinished session is no record.
        {"Two Lighthouses",
         true,
         {anna, ben, cleo, guest},
         {"Best (P1)", "1. Ben 12,340 Hard 2026-12-09", "2. Anna 11,000 Medium 2026-12-11",
          "3. Anna 9,870 Medium 2026-12-08", "Anna (P1): best 11,000", "Ben (P2): best 4,000",
          "Cleo (P1): not sung yet"}},
        {"two  LIGHTHOUSES",
         true,
         {ben, anna},
         {"Best (P2)", "1. Ben 4,000 Easy 2026-12-13", "Ben (P2): best 4,000",
          "Anna (P1): best 11,000"}},
        // Sung as a duet, but read now as a song of one voice: nothing of it yet.
        {"Two Lighthouses", false, {anna}, {"Best", "Not sung yet", "Anna: not sung yet"}},
        {"Another Song", false, {}, {"Best", "Not sung yet"}},
    };
    for (const auto& row : rows) {
        panel.setSingers(row.singers);
        panel.showSong("Cantorix", row.title, row.duet);
        EXPECT_EQ(panel.shownLines(), row.lines) << row.title;
        EXPECT_TRUE(game.selection.records->visible());
    }
    panel.hideSong();
    EXPECT_FALSE(game.selection.records->visible());
    EXPECT_TRUE(panel.shownLines().empty());
}

TEST_F(SongRecordsPanelTest, FollowsTheBookAndStaysInItsPlace) {
    panel.setSingers({{1, "Anna", 0x000000FF, 1}});
    panel.showSong("Cantorix", "Two Lighthouses", true);
    book.putPlayer({1, "Anna Lind", 0x00808080, "", 0});
    book.add({sung(1, "Anna Lind", 1, 20000, 3, 9)});
    panel.refresh();
    EXPECT_EQ(panel.shownLines()[1], "1. Anna Lind 20,000 Hard 2026-12-17");
    EXPECT_EQ(panel.shownLines().back(), "Anna Lind (P1): best 20,000") << "renamed since bound";

    // Eight singers take two columns; every line stays on the screen and clear of the buttons.
    std::vector<PanelSinger> eight;
    for (std::int64_t id = 1; id <= 8; ++id)
        eight.push_back({id, "Maximiliane Oberhuber-Steinfeld", 0x00FFFFFF, 1});
    panel.setSingers(eight);
    ASSERT_EQ(panel.shownLines().size(), 12u);
    for (const scene::TGLHUDText* line : game.selection.recordLines) {
        const scene::Vec3 at = line->position();
        const int width = game.fonts.menuPlain.textWidth(line->text());
        EXPECT_GE(at.y, 580) << line->text();
        EXPECT_LE(at.y + 18, 729) << line->text();
        EXPECT_LE(at.x + static_cast<float>(width), 766) << line->text();
    }
}

TEST(RecordTextsTest, TotalsAreGroupedInThrees) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {12340, "12,340"}, {-1234567, "-1,234,567"}};
    for (const auto& [total, text] : rows)
        EXPECT_EQ(groupedTotal(total), text);
}

} // namespace
