// The main window's song library: the selection screen over the scan, the option that lists
// songs which cannot be played, the song problems window, and where songs are looked for.

#include "command_line.h"
#include "error_guard.h"
#include "main_window.h"
#include "program_files.h"

#include <algorithm>

namespace cantorix::app {

using namespace cantorix::scene;

void MainWindow::createLibraryScreen() {
    m_library = std::make_unique<SongLibraryScreen>(
        *m_game, m_songList, *m_selection,
        SongLibraryScreen::Hooks{
            [this](std::int64_t n) {
                return std::uniform_int_distribution<std::int64_t>(0, n - 1)(m_random);
            },
            [this](const std::function<void()>& step) { runGuarded(this, step); },
            [this] { m_screens->startSong(); },
            {},
            [this] {
                // An open problems window follows the scan and the songs found unplayable.
                if (m_songProblems && m_songProblems->isVisible())
                    m_songProblems->setProblems(m_library->browser().problems());
                openSongBook();
            }});
    m_library->setRing(*m_coverRing);
    m_library->setPopularity([this](std::string_view song) {
        return m_records ? m_records->book().popularity(song) : songs::SongPopularity{};
    });
    m_game->options.gameplay.songOrder->onButtonClick = [this](TGLBaseControl& sender) {
        songOrderClick(sender);
        m_library->setOrder(songOrderOf(sender.caption()));
    };
    m_game->options.appearance.showUnplayable->onButtonClick = [this](TGLBaseControl& sender) {
        toggleClick(sender);
        m_library->setShowUnplayable(showsUnplayableSongs(*m_game));
    };
    m_game->selection.libraryStatusLink->onMouseDown = [this](TGLBaseControl&, scene::TMouseButton,
                                                              int, int) { showSongProblems(); };
    m_screens->mayStart = [this] { return m_library->mayStart(); };
}

void MainWindow::showSongProblems() {
    if (!m_songProblems)
        m_songProblems = new SongProblemsWindow(this);
    m_songProblems->setProblems(m_library->browser().problems());
    m_songProblems->show();
    m_songProblems->raise();
    m_songProblems->activateWindow();
}

bool MainWindow::noSongFolders() const {
    // The folders kept in Score.ini are read when the window shows; here it is enough to know
    // that some are listed.
    if (m_services.profile &&
        profileInteger(m_services.profile->readString("Score.SongFolders_Items", "Count", "0")) > 0)
        return false;
    const auto roots = songRoots();
    return std::all_of(roots.begin(), roots.end(),
                       [](const auto& root) { return songsDirectoryIsEmpty(root); });
}

std::vector<std::filesystem::path> MainWindow::songRoots() const {
    std::vector<std::filesystem::path> roots = m_services.songRoots;
    if (roots.empty())
        roots.push_back(m_services.programDir / "songs");
    addSongRoots(roots, m_songFolders);
    return roots;
}

void MainWindow::scanSongs() {
    // The cached songs show at once; the scan goes on behind the screen. Covers are decoded as
    // they come into view, and an unreadable one shows the fallback like a missing one.
    m_library->start(songRoots(), m_services.libraryCache, m_services.coverImages,
                     m_services.programDir / "data/gfx/Song Cover.jpg");
}

} // namespace cantorix::app
