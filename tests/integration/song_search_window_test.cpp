// Finding a song in a library of a few hundred: the real main window lists them while its scan
// runs, narrows the list as letters are typed on the selection screen, and Enter sings the one
// found.

#include "game_window_fixture.h"

#include <QImage>
#include <fstream>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

constexpr int kSongs = 300;
const fs::path kDemo = fs::path(CANTORIX_PROGRAM_DIR) / "songs" / "Cantorix - Harbour Lights";

class SongSearchWindowTest : public cantorix::testing::GameWindowTest {
protected:
    // Artist/album/song folders three levels deep, each a song of the game's own format with the
    // demo's music and cover linked in. One of them has accents in its names.
    void makeLibrary() {
        m_library = m_root / "library";
        for (int i = 0; i < kSongs; ++i) {
            const bool special = i == 217;
            const std::string artist =
                special ? "Zo\xC3\xAB Keys" : "Artist " + std::to_string(i % 40);
            const std::string title = special ? "\xC3\x9C"
                                                "berlicht"
                                              : "Song " + std::to_string(i);
            const fs::path folder = m_library / ("a" + std::to_string(i % 40)) /
                                    ("album" + std::to_string(i % 7)) /
                                    ("song" + std::to_string(i));
            fs::create_directories(folder);
            fs::create_hard_link(kDemo / "Cantorix - Harbour Lights.mp3", folder / "music.mp3");
            fs::create_hard_link(kDemo / "cover.jpg", folder / "cover.jpg");
            std::ofstream(folder / "song.txt", std::ios::binary)
                << "#TITLE:" << title << "\r\n#ARTIST:" << artist
                << "\r\n#MP3:music.mp3\r\n#BPM:112,5\r\n#GAP:500\r\n: 0 4 21 la\r\n: 4 4 23 "
                   "lo\r\nE\r\n";
            if (special)
                m_special = folder;
        }
    }
    app::MainWindow& startLibrary() {
        makeLibrary();
        app::AppServices services{m_root,    *m_pictures, m_glyphs,        m_clock,       m_player,
                                  *m_covers, *m_capture,  m_recorderInput, m_captureError};
        services.songRoots = {m_root / "songs", m_library};
        m_form = std::make_unique<app::MainWindow>(std::move(services));
        m_form->show();
        EXPECT_TRUE(waitUntil([&] { return m_form->startSteps().firstFrameShown(); }));
        return *m_form;
    }
    void type(const QString& text) { QTest::keyClicks(m_form->viewer(), text); }
    void shoot(const char* name) {
        if (const char* dir = std::getenv("CANTORIX_SCREENSHOTS"))
            m_form->viewer()->grabFramebuffer().save(QString("%1/%2.png").arg(dir, name));
    }

    fs::path m_library, m_special;
};

TEST_F(SongSearchWindowTest, TypingNarrowsTheListAndEnterSingsTheSongFound) {
    app::MainWindow& form = startLibrary();
    app::GameScene& g = form.game();
    ASSERT_TRUE(waitUntil([&] { return !form.library().scanning(); }, 30000));
    EXPECT_EQ(form.songList().count(), kSongs);
    EXPECT_EQ(g.selection.libraryStatus->text(), "300 songs");
    const std::string first = form.songList().selected();
    EXPECT_FALSE(first.empty());
    QTest::qWait(400); // the first turn and its cover
    shoot("library");

    // Nothing matches: the list is empty, and Escape brings back every song and the selection.
    type("qqq");
    EXPECT_TRUE(g.selection.searchText->visible());
    EXPECT_EQ(g.selection.libraryStatus->text(), "0 of 300 songs match");
    EXPECT_EQ(form.songList().count(), 0);
    QTest::keyClick(form.viewer(), Qt::Key_Escape);
    EXPECT_FALSE(g.selection.searchText->visible());
    EXPECT_EQ(form.songList().count(), kSongs);
    EXPECT_EQ(form.songList().selected(), first);

    // Case and accents do not matter; words may come in any order.
    type("UBER zoe");
    EXPECT_EQ(g.selection.searchText->text(), "Find: UBER zoe_");
    EXPECT_EQ(g.selection.libraryStatus->text(), "1 of 300 songs match");
    ASSERT_EQ(form.songList().count(), 1);
    EXPECT_EQ(fs::path(form.songList().selected()), m_special);
    QTest::qWait(400);
    shoot("search");

    QTest::keyClick(form.viewer(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return g.singing.group->visible(); }));
    EXPECT_EQ(form.songFile().songFilePath(), m_special / "song.txt");
    EXPECT_EQ(form.songFile().displayText(form.songFile().songTitle()), "\xC3\x9C"
                                                                        "berlicht");
}

TEST_F(SongSearchWindowTest, LongJumpsTurnOnceAndKeepTheirPlace) {
    app::MainWindow& form = startLibrary();
    ASSERT_TRUE(waitUntil([&] { return !form.library().scanning(); }, 30000));
    QTest::qWait(400);
    QTest::keyClick(form.viewer(), Qt::Key_End);
    EXPECT_EQ(form.songList().itemIndex(), kSongs - 1);
    QTest::keyClick(form.viewer(), Qt::Key_PageUp);
    EXPECT_EQ(form.songList().itemIndex(), kSongs - 11);
    QTest::keyClick(form.viewer(), Qt::Key_Home);
    EXPECT_EQ(form.songList().itemIndex(), 0);
    QTest::keyClick(form.viewer(), Qt::Key_PageDown);
    EXPECT_EQ(form.songList().itemIndex(), 10);
    QTest::keyClick(form.viewer(), Qt::Key_Left);
    EXPECT_EQ(form.songList().itemIndex(), 9);
    // Ordered by artist then title, ignoring case: "Artist 0" "Song 0", "Song 120", …
    EXPECT_EQ(form.songList().item(0), (m_library / "a0/album0/song0").string());
    // The selected song's own cover replaces the fallback once decoded.
    EXPECT_TRUE(
        waitUntil([&] { return form.game().selection.cover->material().name != "c-fallback"; }));
}

} // namespace
