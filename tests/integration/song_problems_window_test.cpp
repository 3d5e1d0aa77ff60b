// A library of real songs of which some cannot be played, browsed in the real main window: no
// box ever appears; the slab and the library line say what is wrong; Song problems lists it.

#include "app/song_problems_window.h"
#include "fakes/fake_library_cache.h"
#include "fakes/file_bytes.h"
#include "game_window_fixture.h"
#include "platform/storage/ini_profile_file.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <mutex>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
using cantorix::testing::writeFile;
namespace fs = std::filesystem;

const fs::path kDemoSongs = fs::path(CANTORIX_PROGRAM_DIR) / "songs";
const std::string kLantern = "Cantorix - Morning Lantern";
const std::string kKites = "Cantorix - Paper Kites";
const std::string kDot = "\xC2\xB7";

QPoint centreOf(const scene::TGLBaseControl& control) {
    const scene::RectI r = control.globalRect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool boxShown() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && qobject_cast<QMessageBox*>(widget))
            return true;
    return false;
}

// The real player, but a sound output that can be made to fail as a busy device does.
class FlakyOutputPlayer : public platform::FileMediaPlayer {
public:
    using FileMediaPlayer::FileMediaPlayer;
    bool outputFails = false;

    void open() override {
        if (outputFails)
            throw songs::ESoundOutputError("Cannot play 'x': Device unavailable");
        FileMediaPlayer::open();
    }
};

// The scanner stores from its own thread.
class LockedCache : public cantorix::testing::FakeLibraryCache {
public:
    std::vector<songs::SongSummary> load() override {
        std::lock_guard lock(m_mutex);
        return FakeLibraryCache::load();
    }
    void store(const std::vector<songs::SongSummary>& changed,
               const std::vector<fs::path>& removed) override {
        std::lock_guard lock(m_mutex);
        FakeLibraryCache::store(changed, removed);
    }
    std::string unplayableStored(const fs::path& folder) {
        std::lock_guard lock(m_mutex);
        const auto found = songs.find(folder.string());
        return found == songs.end() ? std::string() : found->second.unplayable;
    }

private:
    std::mutex m_mutex;
};

class SongProblemsWindowTest : public cantorix::testing::GameWindowTest {
protected:
    // The four demo songs copied, two of them without their audio, and a song whose audio
    // exists but holds no sound ("Zebra Crossing", last by title); or only the two without audio.
    void makeLibrary(bool onlySilent) {
        const fs::path songs = m_root / "songs";
        for (const auto& demo : fs::directory_iterator(kDemoSongs)) {
            const fs::path folder = songs / demo.path().filename();
            const bool silent =
                demo.path().filename() == kLantern || demo.path().filename() == kKites;
            if (onlySilent && !silent)
                continue;
            fs::create_directories(folder);
            for (const auto& file : fs::directory_iterator(demo.path())) {
                const std::string ext = file.path().extension().string();
                if (!(silent && (ext == ".mp3" || ext == ".ogg")))
                    fs::copy_file(file.path(), folder / file.path().filename());
            }
        }
        if (onlySilent)
            return;
        fs::create_directories(songs / "Zebra");
        writeFile(songs / "Zebra/zebra.txt",
                  "#TITLE:Zebra Crossing\r\n#ARTIST:Cantorix\r\n"
                  "#MP3:zebra.mp3\r\n#BPM:100\r\n#GAP:0\r\n: 0 4 20 la\r\nE\r\n");
        writeFile(songs / "Zebra/zebra.mp3", std::string(4096, 'z'));
    }
    // The library over the flaky player and the cache.
    app::MainWindow& startLibrary(app::ProfileStore* profile = nullptr, bool onlySilent = false) {
        makeLibrary(onlySilent);
        app::AppServices services{m_root,    *m_pictures, m_glyphs,        m_clock,       m_flaky,
                                  *m_covers, *m_capture,  m_recorderInput, m_captureError};
        services.libraryCache = &m_cache;
        services.profile = profile;
        m_form = std::make_unique<app::MainWindow>(std::move(services));
        m_form->show();
        EXPECT_TRUE(waitUntil([&] { return m_form->startSteps().firstFrameShown(); }));
        EXPECT_TRUE(waitUntil([&] { return !m_form->library().scanning(); }, 30000));
        return *m_form;
    }
    void click(const scene::TGLBaseControl& control) { clickAt(centreOf(control)); }
    void clickAt(QPoint p) { QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {}, p); }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }
    FlakyOutputPlayer m_flaky{*m_output};
    LockedCache m_cache;
    std::string selectedName() const {
        return fs::path(m_form->songList().selected()).filename().string();
    }
    void shoot(const char* name) {
        if (const char* dir = std::getenv("CANTORIX_SCREENSHOTS")) {
            QTest::qWait(400); // the turn ends and the cover shows
            m_form->viewer()->grabFramebuffer().save(QString("%1/%2.png").arg(dir, name));
        }
    }
};

TEST_F(SongProblemsWindowTest, BrowsingPastSongsThatCannotPlayNeverShowsABox) {
    app::MainWindow& form = startLibrary();
    app::GameScene& g = form.game();
    EXPECT_FALSE(boxShown());
    // Hidden by default: the two songs without audio are counted, not listed.
    EXPECT_EQ(form.songList().count(), 3);

    // The audio that holds no sound is found by its preview: the song stays under the cursor
    // and says why, and Start says the same on the library line instead of starting.
    key(Qt::Key_End);
    ASSERT_EQ(selectedName(), "Zebra");
    const std::string zebraProblem = form.library().selectedProblem();
    EXPECT_EQ(zebraProblem.rfind("audio cannot be played: zebra.mp3 (", 0), 0u) << zebraProblem;
    EXPECT_TRUE(g.selection.songProblem->visible());
    EXPECT_EQ(g.selection.libraryStatus->text(), "5 songs " + kDot + " 3 cannot be played");
    EXPECT_EQ(form.songList().count(), 3);
    shoot("unplayable-selected");
    key(Qt::Key_Return);
    EXPECT_FALSE(g.singing.group->visible());
    EXPECT_EQ(g.selection.libraryStatus->text(), zebraProblem);
    EXPECT_FALSE(boxShown());

    // A click on the library line lists every problem, sorted by folder.
    key(Qt::Key_Home);
    clickAt(centreOf(*g.selection.libraryStatusLink));
    ASSERT_TRUE(waitUntil([&] { return form.songProblems() && form.songProblems()->isVisible(); }));
    app::SongProblemsWindow& window = *form.songProblems();
    const QTreeWidget& list = *window.list();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    const std::pair<fs::path, std::string> expected[] = {
        {m_root / "songs" / kLantern, "no audio file: " + kLantern + ".mp3"},
        {m_root / "songs" / kKites, "no audio file: " + kKites + ".mp3"},
        {m_root / "songs" / "Zebra", zebraProblem}};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(list.topLevelItem(row)->text(0).toStdString(), expected[row].first.string());
        EXPECT_EQ(list.topLevelItem(row)->text(1).toStdString(), expected[row].second);
    }
    QTest::qWait(200);
    if (const char* dir = std::getenv("CANTORIX_SCREENSHOTS"))
        window.grab().save(QString("%1/song-problems.png").arg(dir));

    // Keyboard: the second row, Enter opens its folder through the desktop.
    QUrl opened;
    window.setUrlOpener([&opened](const QUrl& url) {
        opened = url;
        return true;
    });
    window.activateWindow();
    QTest::keyClick(window.list(), Qt::Key_Down);
    QTest::keyClick(window.list(), Qt::Key_Return);
    EXPECT_EQ(opened, QUrl::fromLocalFile(QString::fromStdString(expected[1].first.string())));
    window.copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              app::songProblemsText(window.problems()));
    window.close();

    // Listed on request: the songs without audio say why on the slab; the next one sings.
    click(*g.selection.optionsButton);
    click(*g.options.appearanceButton);
    click(*g.options.appearance.showUnplayable);
    shoot("option");
    click(*g.options.backButton);
    ASSERT_EQ(form.songList().count(), 5);
    key(Qt::Key_Home);
    ASSERT_EQ(selectedName(), "Cantorix - Harbour Lights");
    EXPECT_FALSE(g.selection.songProblem->visible());
    for (const std::string& silent : {kLantern, kKites}) {
        key(Qt::Key_Right);
        ASSERT_EQ(selectedName(), silent);
        EXPECT_EQ(form.library().selectedProblem(), "no audio file: " + silent + ".mp3");
        EXPECT_TRUE(g.selection.songProblem->visible());
    }
    shoot("no-audio-shown");
    key(Qt::Key_Right);
    EXPECT_EQ(selectedName(), "Cantorix - Two Lighthouses");
    key(Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return g.singing.group->visible(); }));
    EXPECT_FALSE(boxShown());
}

TEST_F(SongProblemsWindowTest, NothingPlayableKeepsTheGameOpenAndSaysWhere) {
    app::MainWindow& form = startLibrary(nullptr, true);
    app::GameScene& g = form.game();
    EXPECT_FALSE(form.terminationRequested());
    EXPECT_EQ(form.songList().count(), 0);
    EXPECT_EQ(g.selection.libraryStatus->text(), "2 songs " + kDot + " 2 cannot be played");
    const std::string& said = g.selection.addSongsText->text();
    EXPECT_TRUE(g.selection.addSongsText->visible());
    EXPECT_NE(said.find("\n" + (m_root / "songs").string() + "\n"), std::string::npos) << said;
    EXPECT_NE(said.find("2 songs cannot be played"), std::string::npos) << said;
    shoot("nothing-playable");
    key(Qt::Key_Return);
    EXPECT_FALSE(g.singing.group->visible());
    form.songProblemsAction->trigger();
    ASSERT_TRUE(form.songProblems() && form.songProblems()->isVisible());
    EXPECT_EQ(form.songProblems()->list()->topLevelItemCount(), 2);
    EXPECT_FALSE(boxShown());
}

TEST_F(SongProblemsWindowTest, AudioThatFailsIsRememberedButAFailingSoundOutputIsNot) {
    app::MainWindow& form = startLibrary();
    app::GameScene& g = form.game();
    // The song's own audio: kept in the cache, so the next start knows without trying it.
    key(Qt::Key_End);
    ASSERT_EQ(selectedName(), "Zebra");
    EXPECT_TRUE(waitUntil([&] {
        return !m_cache.unplayableStored(m_root / "songs/Zebra").empty();
    })) << "the verdict never reached the cache";
    EXPECT_EQ(m_cache.unplayableStored(m_root / "songs/Zebra"), form.library().selectedProblem());

    // Audio that changed after its preview is tried again by Start, which then does not start.
    key(Qt::Key_Left);
    const fs::path ogg = m_root / "songs/Cantorix - Two Lighthouses/Cantorix - Two Lighthouses.ogg";
    ASSERT_TRUE(form.library().selectedProblem().empty());
    fs::remove(ogg);
    writeFile(ogg, "no longer music");
    key(Qt::Key_Return);
    EXPECT_FALSE(g.singing.group->visible());
    EXPECT_EQ(g.selection.libraryStatus->text().rfind(
                  "audio cannot be played: Cantorix - Two Lighthouses.ogg (", 0),
              0u)
        << g.selection.libraryStatus->text();

    // The sound output: the slab says so, but the song is neither counted nor remembered, and
    // Start tries the output again.
    m_flaky.outputFails = true;
    key(Qt::Key_Home);
    ASSERT_EQ(selectedName(), "Cantorix - Harbour Lights");
    EXPECT_EQ(form.library().selectedProblem(),
              "audio cannot be played: Cantorix - Harbour Lights.mp3 (Device unavailable)");
    EXPECT_EQ(g.selection.libraryStatus->text(), "5 songs " + kDot + " 4 cannot be played");
    key(Qt::Key_Return);
    EXPECT_FALSE(g.singing.group->visible());
    EXPECT_EQ(g.selection.libraryStatus->text(), form.library().selectedProblem());
    EXPECT_TRUE(m_cache.unplayableStored(m_root / "songs/Cantorix - Harbour Lights").empty());
    m_flaky.outputFails = false;
    key(Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return g.singing.group->visible(); }));
    EXPECT_FALSE(boxShown());
}

// The cache of a run before says the song has no audio; it has now. The song selected with that
// verdict sheds it once the scan has looked.
TEST_F(SongProblemsWindowTest, AVerdictTheScanOverturnsReachesTheSelectedSong) {
    const fs::path harbour = m_root / "songs/Cantorix - Harbour Lights";
    songs::SongSummary stale =
        songs::summariseSong(kDemoSongs / harbour.filename(),
                             kDemoSongs / harbour.filename() / "Cantorix - Harbour Lights.txt");
    stale.folder = harbour.string();
    stale.songFile = (harbour / "Cantorix - Harbour Lights.txt").string();
    stale.audio = (harbour / "Cantorix - Harbour Lights.mp3").string();
    stale.unplayable = "no audio file: Cantorix - Harbour Lights.mp3";
    stale.audioStamp = {};
    m_cache.songs[stale.folder] = stale;
    fs::create_directories(m_root / "config");
    writeFile(m_root / "config/Score.ini", "[Score]\r\nShowUnplayable_Checked=1\r\n");
    platform::IniProfileFile ini(m_root / "config/Score.ini");
    app::MainWindow& form = startLibrary(&ini);
    ASSERT_EQ(selectedName(), harbour.filename());
    EXPECT_FALSE(form.game().selection.songProblem->visible());
    EXPECT_TRUE(form.library().selectedProblem().empty()) << form.library().selectedProblem();
    m_form.reset(); // before the profile it saves to
}

} // namespace
