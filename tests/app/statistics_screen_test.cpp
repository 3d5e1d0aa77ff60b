#include "app/statistics_screen.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "records/record_texts.h"

#include <gtest/gtest.h>

using namespace cantorix;
using namespace cantorix::app;
namespace keys = scene::keys;

namespace {

constexpr std::int64_t kNow = 1796731200000; // 2026-12-08 12:00 UTC
constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00;
const std::string kLongTitle(120, 'x');

records::Performance sung(std::optional<std::int64_t> player, std::string name, std::string song,
                          std::int64_t total, double share, std::int64_t daysAgo,
                          std::int64_t sungMs, bool finished = true) {
    records::Performance p;
    p.playerId = player;
    p.singerName = std::move(name);
    p.key.song = song;
    p.artist = song == kLongTitle ? "" : "Abba";
    p.title = std::move(song);
    p.total = total;
    p.possible = share > 0 ? 1000 : 0;
    p.share = share;
    p.sungAtMs = kNow - daysAgo * kDayMs;
    p.sungMs = sungMs;
    p.finished = finished;
    return p;
}

class StatisticsScreenTest : public ::testing::Test {
protected:
    StatisticsScreenTest() {
        glyphs.defaultShape.advance = 7; // about the real fonts' width
        std::vector<records::Performance> rows = {
            sung(1, "Anna", "Waterloo", 6000, 0.86, 10, 180'000),
            sung(2, "Ben", "Waterloo", 4000, 0.5, 10, 180'000), // with Anna: one session
            sung(1, "Anna", "Fernando", 8000, 0.9, 1, 3'600'000),
            sung(std::nullopt, "Dora\nDee", kLongTitle, 3000, 0, 1, 200'000),
            sung(1, "Anna", "Waterloo", 1000, 0.95, 0, 120'000, false),
        };
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i].id = static_cast<std::int64_t>(i) + 1;
        book.assign({{1, "Anna", kRed, "", 0}, {2, "Ben", kGreen, "", 0}, {3, "Cleo", kRed, "", 0}},
                    rows);
    }

    scene::testing::BlankImageLoader loader;
    scene::testing::FakeGlyphRasterizer glyphs;
    GameScene game{loader, glyphs, "/nowhere"};
    records::RecordBook book;
    int leftCalls = 0;
    StatisticsScreen screen{{game, book, [] { return kNow; }, [this] { ++leftCalls; }}};
};

TEST(StatisticsTexts, NumbersAreWrittenForPeople) {
    const std::pair<std::int64_t, std::string> times[] = {
        {-5, "0 s"},           {59'999, "59 s"},          {60'000, "1 min"},
        {3'599'999, "59 min"}, {3'900'000, "1 h 05 min"}, {36'000'000 + 720'000, "10 h 12 min"}};
    for (const auto& [ms, text] : times)
        EXPECT_EQ(sungTimeText(ms), text) << ms;
    const std::pair<double, std::string> shares[] = {
        {0.875, "88 %"}, {0.865, "86 %"}, {1.7, "100 %"}, {-0.2, "0 %"}};
    for (const auto& [share, text] : shares)
        EXPECT_EQ(shareText(share), text) << share;
    EXPECT_EQ(records::localDay(kNow), "2026-12-08");
}

// The pages in order, round by keys and arrows, and Escape back to the selection screen.
TEST_F(StatisticsScreenTest, PagesShowTheGameThenEachPlayer) {
    screen.show();
    ASSERT_TRUE(screen.shown());
    EXPECT_FALSE(game.selection.form->visible());
    EXPECT_EQ(game.statistics.guiRoot->tag(), 1);
    EXPECT_EQ(game.selection.guiRoot->tag(), 0);
    const std::vector<std::string> gamePage = screen.shownLines();
    ASSERT_EQ(gamePage.size(), 13u);
    EXPECT_EQ(std::vector(gamePage.begin(), gamePage.begin() + 5),
              (std::vector<std::string>{"Statistics", "1 / 4", "Most sung songs",
                                        "2× | Abba – Waterloo", "1× | Abba – Fernando"}));
    // A title too long for its row is cut in its middle; a name over lines is one line.
    EXPECT_TRUE(gamePage[5].starts_with("1× | xx") && gamePage[5].find("…") != std::string::npos &&
                gamePage[5].size() < kLongTitle.size())
        << gamePage[5];
    EXPECT_EQ(std::vector(gamePage.begin() + 6, gamePage.end()),
              (std::vector<std::string>{"Top singers of the last 7 days", "8000 | Anna | 1 song",
                                        "3000 | Dora Dee | 1 song", "Top singers of all time",
                                        "14000 | Anna | 2 songs", "4000 | Ben | 1 song",
                                        "3000 | Dora Dee | 1 song"}));

    screen.keyDown(keys::Right);
    EXPECT_EQ(screen.shownLines(),
              (std::vector<std::string>{
                  "Anna", "2 / 4", "Sessions: 3", "Songs: 2", "Time sung: 1 h 05 min",
                  "Average share: 88 %", "Best songs", "8000 | Abba – Fernando | 90 %   2026-12-07",
                  "6000 | Abba – Waterloo | 86 %   2026-11-28", "Most sung songs",
                  "2× | Abba – Waterloo", "1× | Abba – Fernando"}));
    EXPECT_EQ(game.statistics.title->defaultColor(), kRed);
    game.statistics.nextButton->setPressed(true);
    EXPECT_EQ(screen.shownLines()[0], "Ben");
    EXPECT_EQ(game.statistics.title->defaultColor(), kGreen);
    screen.keyDown(keys::Right);
    EXPECT_EQ(screen.shownLines(),
              (std::vector<std::string>{"Cleo", "4 / 4", "Nothing sung yet."}));
    screen.keyDown(keys::Right);
    EXPECT_EQ(screen.shownLines(), gamePage);
    screen.keyDown(keys::Left);
    game.statistics.previousButton->setPressed(true);
    EXPECT_EQ(screen.shownLines()[1], "3 / 4");

    // Ben removed while his page shows: the game's page takes its place.
    book.removePlayer(2, true);
    screen.refresh();
    EXPECT_EQ(screen.shownLines()[1], "1 / 3");

    screen.keyDown(keys::Escape);
    EXPECT_FALSE(screen.shown());
    EXPECT_EQ(leftCalls, 1);
    EXPECT_TRUE(game.selection.form->visible());
    EXPECT_EQ(game.selection.guiRoot->tag(), 1);
    EXPECT_EQ(game.statistics.guiRoot->tag(), 0);
    screen.keyDown(keys::Right); // no longer shown: nothing happens
    EXPECT_FALSE(game.statistics.group->visible());
}

TEST_F(StatisticsScreenTest, AnEmptyBookSaysNothingWasSung) {
    book.assign({}, {});
    screen.show();
    EXPECT_EQ(screen.shownLines(), (std::vector<std::string>{"Statistics", "Nothing sung yet."}));
    EXPECT_FALSE(game.statistics.nextButton->visible());
    game.statistics.backButton->setPressed(true);
    EXPECT_FALSE(screen.shown());
    EXPECT_EQ(leftCalls, 1);
}

} // namespace
