// The score page of the real main window filled for one, two and eight singers: the page of one
// singer as it always was, and the ranked table with each singer's colour on screen. And the
// voice label over the ring naming the voice of two and of eight singers of the demo duet.

#include "app/score_page.h"
#include "game_window_fixture.h"
#include "selection/song_selection.h"
#include "songs/song_library.h"

#include <QImage>

namespace {

using namespace cantorix;

class ScorePageWindowTest : public cantorix::testing::GameWindowTest {
protected:
    QImage showPage(const std::vector<app::SingerResult>& singers, const std::string& file) {
        app::GameScene& g = m_form->game();
        g.selection.group->setVisible(false);
        g.scorePage.group->setVisible(true);
        g.scorePage.guiRoot->setTag(1);
        app::fillScorePage(g, singers);
        m_form->viewer()->update();
        QTest::qWait(100);
        QImage frame = m_form->viewer()->grabFramebuffer();
        frame.save(QString::fromStdString(file));
        return frame;
    }
};

scene::TColor pixelColour(const QImage& frame, int x, int y) {
    const QRgb p = frame.pixel(x, y);
    return static_cast<scene::TColor>(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
}

TEST_F(ScorePageWindowTest, OneSingerKeepsThePageAndSeveralAreRankedInTheirColours) {
    startAndWait();
    app::GameScene& g = m_form->game();
    showPage({{"Anna", 0x0000FF, 358, 54, 40, 412, 480}}, "/tmp/cantorix-score-one.png");
    EXPECT_TRUE(g.scorePage.playerName->guiVisible());
    EXPECT_EQ(g.scorePage.totalValue->caption(), "412");

    showPage({{"Anna", 0x3050FF, 358, 54, std::nullopt, 412, 0},
              {"Ben", 0xFF9020, 512, 80, std::nullopt, 592, 0}},
             "/tmp/cantorix-score-two.png");
    EXPECT_FALSE(g.scorePage.playerName->guiVisible());
    EXPECT_EQ(g.scorePage.table.rows[0].name->caption(), "Ben");

    const scene::TColor colours[] = {0x3050FF, 0xFF9020, 0x20C040, 0x00D0F0,
                                     0xC040C0, 0xF0F0F0, 0x0080FF, 0x808080};
    const char* names[] = {"Anna", "Ben",   "Cleo", "Maximiliane Oberhuber-Steinfeld",
                           "Eva",  "Frank", "Gus",  "Hilde"};
    std::vector<app::SingerResult> eight;
    for (int i = 0; i < 8; ++i)
        eight.push_back({names[i], colours[i], 1000 * i, 10 * i, 40 * i, 1010 * i, 9000});
    const QImage frame = showPage(eight, "/tmp/cantorix-score-eight.png");
    // The best is the last slot; each swatch shows its singer's colour where the page drew it.
    for (const app::ScoreTableRow& row : g.scorePage.table.rows) {
        ASSERT_TRUE(row.swatch->visible());
        const scene::Vec3 at = row.swatch->position();
        const std::string& name = row.name->caption();
        const auto slot = std::find(std::begin(names), std::end(names), name) - std::begin(names);
        if (slot == 8) // the long name is shortened to fit its column
            continue;
        EXPECT_EQ(pixelColour(frame, static_cast<int>(at.x), static_cast<int>(at.y)), colours[slot])
            << name;
    }
    EXPECT_EQ(g.scorePage.table.rows[0].name->caption(), "Hilde");
}

TEST_F(ScorePageWindowTest, EverySingersVoiceFitsOverTheRing) {
    namespace fs = std::filesystem;
    startAndWait();
    app::GameScene& g = m_form->game();
    const fs::path songsDir = m_root / "duets";
    fs::create_directories(songsDir);
    fs::create_directory_symlink(fs::path(CANTORIX_PROGRAM_DIR) /
                                     "songs/Cantorix - Two Lighthouses",
                                 songsDir / "Two Lighthouses");
    songs::TSongList list;
    list.assign(songs::listSongEntries(songsDir));
    list.setItemIndex(0);
    songs::SongFile song;
    selection::SongSelection chosen(songsDir, list, song, m_player, *g.selection.artist,
                                    *g.selection.title, [](std::int64_t) { return 0; });
    chosen.setVoiceDisplay(g.selection.voices, g.selection.voiceChoice);
    const std::vector<std::string> names = {"Anna", "Ben",   "Cleo", "Dan",
                                            "Eva",  "Frank", "Gus",  "Hilde"};
    for (std::size_t singers : {2u, 8u}) {
        chosen.setSingers({names.begin(), names.begin() + static_cast<long>(singers)});
        chosen.SelectSong(selection::SongSelection::Preview::None);
        const std::string& caption = g.selection.voiceChoice->caption();
        EXPECT_TRUE(g.selection.voiceChoice->visible());
        EXPECT_LE(g.fonts.menu.textWidth(caption), g.selection.voiceChoice->width()) << caption;
        EXPECT_NE(caption.find(singers == 2 ? "[2] Ben" : "8:P2"), std::string::npos) << caption;
        m_form->viewer()->update();
        QTest::qWait(100);
        m_form->viewer()->grabFramebuffer().save(QString::fromStdString(
            "/tmp/cantorix-selection-voices-" + std::to_string(singers) + ".png"));
    }
}

} // namespace
