#include "app/score_page.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace cantorix;
using namespace cantorix::app;

namespace {

constexpr scene::TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

SingerResult singer(std::string name, scene::TColor colour, std::int32_t notes,
                    std::int32_t bonus = 0, std::int32_t possible = 0,
                    std::optional<std::int32_t> golden = {}) {
    return {std::move(name), colour, notes, bonus, golden, std::int64_t{notes} + bonus, possible};
}

class ScorePageTest : public ::testing::Test {
protected:
    // The headings shown, then per row shown: place, name, figures shown and the name's colour.
    std::vector<std::string> shownTable() const {
        std::vector<std::string> shown;
        for (const scene::TGLLabel* heading : game.scorePage.table.headings)
            if (heading->guiVisible())
                shown.push_back(heading->caption());
        for (const ScoreTableRow& row : game.scorePage.table.rows) {
            if (!row.name->guiVisible())
                continue;
            EXPECT_TRUE(row.swatch->visible());
            shown.push_back("|" + row.rank->caption() + " " + row.name->caption() + " #" +
                            std::to_string(row.name->defaultColor()));
            for (const scene::TGLLabel* figure : row.figures)
                if (figure->visible())
                    shown.push_back(figure->caption());
        }
        return shown;
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
};

// One row per session: who sang, what the table shows (nothing: the page of one singer) and
// what Submit adds.
TEST_F(ScorePageTest, SingersAreRankedAndEachIsSubmittedUnderTheirName) {
    const std::string red = " #255", green = " #65280", blue = " #16711680";
    const struct {
        std::vector<SingerResult> singers;
        std::vector<std::string> table, entries;
    } rows[] = {
        {{}, {}, {"0:Typed"}}, // unscored
        // Ties keep slot order and share a place; no golden notes, no possible points.
        {{singer("Anna", kRed, 90, 10), singer("Ben", kGreen, 250, 50), singer("Cleo", kBlue, 100)},
         {"Notes", "Line Bonus", "Total", "|1. Ben" + green, "250", "50", "300", "|2. Anna" + red,
          "90", "10", "100", "|2. Cleo" + blue, "100", "0", "100"},
         {"100:Anna", "300:Ben", "100:Cleo"}},
        {{singer("Anna", kRed, 410, 20, 500, 40), singer("Ben", kGreen, 0, 0, 500, 0)},
         {"Notes", "Line Bonus", "Golden Notes", "Total", "Share", "|1. Anna" + red, "410", "20",
          "40", "430", "82 %", "|2. Ben" + green, "0", "0", "0", "0", "0 %"},
         {"430:Anna", "0:Ben"}},
        // A name missing, or broken over lines (which Score.ini would break in two).
        {{singer("", kRed, 5), singer("Dan\nDee", kBlue, 7)},
         {"Notes", "Line Bonus", "Total", "|1. Dan\nDee" + blue, "7", "0", "7",
          "|2. Singer 1" + red, "5", "0", "5"},
         {"5:Singer 1", "7:Dan Dee"}},
        // After a table, the page of one singer as it always was.
        {{singer("Anna", kRed, 120, 30, 200)}, {}, {"150:Typed"}},
    };
    for (const auto& row : rows) {
        fillScorePage(game, row.singers);
        const bool several = row.singers.size() > 1;
        for (const scene::TGLBaseControl* control : game.scorePage.soloControls)
            EXPECT_EQ(control->visible(), !several);
        EXPECT_EQ(shownTable(), row.table);
        const scene::TGLBaseControl& table = *game.scorePage.table.holder;
        EXPECT_TRUE(table.left() >= 0 && table.left() + table.width() <= 766) << "off the page";
        EXPECT_EQ(hallOfFameEntries(row.singers, "Typed"), row.entries);
    }
    EXPECT_EQ(game.scorePage.totalValue->caption(), "150");
    EXPECT_EQ(game.scorePage.shareValue->caption(), "60 %");
    for (const ScoreTableRow& row : game.scorePage.table.rows)
        EXPECT_FALSE(row.swatch->visible());
}

// The news beside one singer's total, and as the table's last column when any singer has some.
TEST_F(ScorePageTest, RecordNewsShowsBesideTheTotalAndInTheTable) {
    const struct {
        bool record, personal;
        std::optional<std::int64_t> before;
        std::string solo, cell;
    } rows[] = {
        {false, false, {}, "", ""},
        {true, false, {}, "New song record", "New song record"},
        {true, true, 9870, "New song record\nPersonal best\nPrevious best 9,870",
         "New song record\nPrevious best 9,870"},
        {false, true, 1234567, "Personal best\nPrevious best 1,234,567",
         "Personal best\nPrevious best 1,234,567"},
    };
    for (const auto& row : rows) {
        SingerResult anna = singer("Anna", kRed, 500);
        std::tie(anna.newSongRecord, anna.personalBest, anna.previousBest) =
            std::tuple(row.record, row.personal, row.before);
        fillScorePage(game, {anna});
        EXPECT_EQ(game.scorePage.recordNews->caption(), row.solo);
        // Every column shown: the record column still stays on the page, after the figures.
        fillScorePage(game, {singer("Ben", kGreen, 100, 0, 400, 7), anna});
        EXPECT_FALSE(game.scorePage.recordNews->visible());
        EXPECT_EQ(game.scorePage.tableNews[0]->guiVisible(), !row.cell.empty());
        EXPECT_EQ(game.scorePage.tableNews[0]->caption(), row.cell);
        const scene::TGLBaseControl& table = *game.scorePage.table.holder;
        EXPECT_LE(table.left() + table.width(), 766);
        const scene::TGLLabel& share = *game.scorePage.table.rows[0].figures.back();
        EXPECT_LE(share.left() + share.width(), game.scorePage.tableNews[0]->left());
    }
}

} // namespace
