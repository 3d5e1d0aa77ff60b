#include "app/score_page.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"

#include <gtest/gtest.h>
#include <random>

using namespace cantorix;
using namespace cantorix::app;

namespace {

constexpr scene::TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

SingerResult singer(std::string name, scene::TColor colour, std::int32_t notes, std::int32_t bonus,
                    std::int32_t possible = 0, std::optional<std::int32_t> golden = {}) {
    return {std::move(name), colour, notes, bonus, golden, std::int64_t{notes} + bonus, possible};
}

// What a row of the table shows: place, name, the figures of the columns shown, and the colour.
struct ShownRow {
    std::string rank, name;
    std::vector<std::string> figures;
    scene::TColor colour = scene::clWhite;
    bool operator==(const ShownRow&) const = default;
};

class ScorePageTest : public ::testing::Test {
protected:
    std::vector<std::string> headings() const {
        std::vector<std::string> shown;
        for (const scene::TGLLabel* heading : game.scorePage.table.headings)
            if (heading->guiVisible())
                shown.push_back(heading->caption());
        return shown;
    }
    std::vector<ShownRow> shownRows() const {
        std::vector<ShownRow> shown;
        for (const ScoreTableRow& row : game.scorePage.table.rows) {
            if (!row.name->visible())
                continue;
            EXPECT_TRUE(row.swatch->visible());
            ShownRow r{row.rank->caption(), row.name->caption(), {}, row.name->defaultColor()};
            for (const scene::TGLLabel* figure : row.figures)
                if (figure->visible())
                    r.figures.push_back(figure->caption());
            shown.push_back(r);
        }
        return shown;
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
};

// One row per session: who sang, what the page shows and what Submit adds.
TEST_F(ScorePageTest, SingersAreRankedAndEachIsSubmittedUnderTheirName) {
    struct Row {
        const char* what;
        std::vector<SingerResult> singers;
        std::vector<std::string> headings; // empty: the page of one singer
        std::vector<ShownRow> rows;
        std::vector<std::string> entries;
    };
    const Row rows[] = {
        {"unscored", {}, {}, {}, {"0:Typed"}},
        {"one singer: the typed name", {singer("Anna", kRed, 120, 30, 200)}, {}, {}, {"150:Typed"}},
        {"ties keep slot order and share a place; no golden notes, no share",
         {singer("Anna", kRed, 90, 10), singer("Ben", kGreen, 250, 50),
          singer("Cleo", kBlue, 100, 0)},
         {"Notes", "Line Bonus", "Total"},
         {{"1.", "Ben", {"250", "50", "300"}, kGreen},
          {"2.", "Anna", {"90", "10", "100"}, kRed},
          {"2.", "Cleo", {"100", "0", "100"}, kBlue}},
         {"100:Anna", "300:Ben", "100:Cleo"}},
        {"golden notes and shares where the format has them",
         {singer("Anna", kRed, 410, 20, 500, 40), singer("Ben", kGreen, 0, 0, 500, 0)},
         {"Notes", "Line Bonus", "Golden Notes", "Total", "Share"},
         {{"1.", "Anna", {"410", "20", "40", "430", "82 %"}, kRed},
          {"2.", "Ben", {"0", "0", "0", "0", "0 %"}, kGreen}},
         {"430:Anna", "0:Ben"}},
        {"a name missing or broken over lines",
         {singer("", kRed, 5, 0), singer("Dan\nDee", kBlue, 7, 0)},
         {"Notes", "Line Bonus", "Total"},
         {{"1.", "Dan\nDee", {"7", "0", "7"}, kBlue}, {"2.", "Singer 1", {"5", "0", "5"}, kRed}},
         {"5:Singer 1", "7:Dan Dee"}},
    };
    for (const Row& row : rows) {
        fillScorePage(game, row.singers);
        const bool several = !row.headings.empty();
        EXPECT_EQ(game.scorePage.table.holder->visible(), several) << row.what;
        for (const scene::TGLBaseControl* control : game.scorePage.soloControls)
            EXPECT_EQ(control->visible(), !several) << row.what;
        EXPECT_EQ(headings(), row.headings) << row.what;
        if (several) {
            EXPECT_EQ(shownRows(), row.rows) << row.what;
            const scene::TGLBaseControl& table = *game.scorePage.table.holder;
            EXPECT_GE(table.left(), 0) << row.what;
            EXPECT_LE(table.left() + table.width(), 766) << row.what << ": wider than the page";
        }
        EXPECT_EQ(hallOfFameEntries(row.singers, "Typed"), row.entries) << row.what;
    }
    // The page of one singer is the one it always was, after a table was shown.
    fillScorePage(game, {singer("Anna", kRed, 120, 30, 200)});
    EXPECT_EQ(game.scorePage.notesValue->caption(), "120");
    EXPECT_EQ(game.scorePage.bonusValue->caption(), "30");
    EXPECT_EQ(game.scorePage.totalValue->caption(), "150");
    EXPECT_EQ(game.scorePage.shareValue->caption(), "60 %");
    EXPECT_TRUE(game.scorePage.playerName->visible());
    for (const ScoreTableRow& row : game.scorePage.table.rows)
        EXPECT_FALSE(row.swatch->visible());
}

// Over generated sessions: places never rise down the table, a place changes exactly where the
// total does, and equal totals stay in slot order.
TEST(SingerRankTest, PlacesFollowTotalsAndTiesKeepSlotOrder) {
    std::mt19937 random(21);
    for (int session = 0; session < 500; ++session) {
        std::vector<SingerResult> singers(1 + random() % 8);
        for (SingerResult& s : singers)
            s.total = static_cast<std::int64_t>(random() % 4) * 100;
        const std::vector<SingerRank> ranks = rankSingers(singers);
        ASSERT_EQ(ranks.size(), singers.size());
        EXPECT_EQ(ranks.front().place, 1);
        for (std::size_t r = 1; r < ranks.size(); ++r) {
            const SingerResult &above = singers[ranks[r - 1].singer],
                               &below = singers[ranks[r].singer];
            ASSERT_GE(above.total, below.total);
            if (above.total == below.total) {
                EXPECT_LT(ranks[r - 1].singer, ranks[r].singer);
                EXPECT_EQ(ranks[r - 1].place, ranks[r].place);
            } else {
                EXPECT_EQ(ranks[r].place, static_cast<int>(r) + 1);
            }
        }
    }
}

} // namespace
