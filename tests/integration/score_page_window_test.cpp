// The score page of the real main window filled for one, two and eight singers: the page of one
// singer as it always was, and the ranked table with each singer's colour on screen.

#include "app/score_page.h"
#include "game_window_fixture.h"

#include <QImage>

namespace {

using namespace cantorix;
using cantorix::testing::GameWindowTest;

TEST_F(GameWindowTest, ScorePageRanksEverySingerInTheirColour) {
    startAndWait();
    app::GameScene& g = m_form->game();
    g.selection.group->setVisible(false);
    g.scorePage.group->setVisible(true);
    const auto show = [&](const std::vector<app::SingerResult>& singers, const char* file) {
        app::fillScorePage(g, singers);
        m_form->viewer()->update();
        QTest::qWait(100);
        QImage frame = m_form->viewer()->grabFramebuffer();
        frame.save(file);
        return frame;
    };
    show({{"Anna", 0x0000FF, 358, 54, 40, 412, 480}}, "/tmp/cantorix-score-one.png");
    EXPECT_TRUE(g.scorePage.playerName->guiVisible());
    show({{"Anna", 0x3050FF, 358, 54, {}, 412, 0}, {"Ben", 0xFF9020, 512, 80, {}, 592, 0}},
         "/tmp/cantorix-score-two.png");
    EXPECT_FALSE(g.scorePage.playerName->guiVisible());

    std::vector<app::SingerResult> eight;
    for (int i = 0; i < 8; ++i)
        eight.push_back({i == 3 ? "Maximiliane Oberhuber-Steinfeld" : std::string(1, 'A' + i),
                         0x1C1C1Cu * static_cast<scene::TColor>(i + 1) ^ 0x0000C0u, 1000 * i,
                         10 * i, 40 * i, 1010 * i, 9000});
    const QImage frame = show(eight, "/tmp/cantorix-score-eight.png");
    // The best (the last slot) first; each swatch shows its singer's colour on screen.
    for (std::size_t r = 0; r < 8; ++r) {
        const scene::Vec3 at = g.scorePage.table.rows[r].swatch->position();
        const QRgb p = frame.pixel(static_cast<int>(at.x), static_cast<int>(at.y));
        EXPECT_EQ(static_cast<scene::TColor>(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16),
                  eight[7 - r].colour)
            << "row " << r;
    }
}

} // namespace
