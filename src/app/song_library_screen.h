#pragma once
// The selection screen over a large library: takes the cached songs at once, keeps the list in
// step with the scan running behind it, narrows it to a typed search, moves through it by key,
// and has the covers near the selected song decoded. Owns the scanner, the list model, the
// search text and the cover cache; borrows the scene, the song list, the ring and the
// selection from the main window. Main thread only (its timer polls the workers).

#include "game_scene.h"
#include "songs/cover_cache.h"
#include "songs/cover_ring.h"
#include "songs/library_scanner.h"
#include "songs/song_browser.h"
#include "songs/song_search_input.h"
#include "songs/song_selection.h"

#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace cantorix::app {

class SongLibraryScreen {
public:
    struct Hooks {
        // random(n): an integer in 0 … n − 1.
        std::function<std::int64_t(std::int64_t)> random;
        // Runs a step of the screen under the window's error guard.
        std::function<void(const std::function<void()>&)> guarded;
        // The Start button's click, for Enter.
        std::function<void()> start;
    };

    SongLibraryScreen(GameScene& game, songs::TSongList& list, songs::SongSelection& selection,
                      Hooks hooks);
    ~SongLibraryScreen();

    // The material showing a list entry's cover; the fallback until the cover is decoded.
    std::string coverMaterial(int index);
    void setRing(songs::CoverRing& ring) { m_ring = &ring; }

    // Lists the cached songs, selects the first one shown and starts the scan. Throws
    // scene::EImageError when the fallback cover cannot be read.
    void start(std::vector<std::filesystem::path> roots, songs::LibraryCache* cache,
               scene::ImageLoader& coverLoader, const std::filesystem::path& fallbackCover);
    void setOrder(songs::SongOrder order);

    void keyDown(int key);
    void keyPress(char32_t ch);

    // What the timer runs: the scan's news, the decoded covers.
    void poll();
    bool scanning() const { return m_scanning; }
    const songs::SongBrowser& browser() const { return m_browser; }

private:
    void awaitFirstSongs();
    // Takes the scan's news into the list model; true when songs came or went.
    bool takeUpdate();
    void run(const songs::SelectionCommand& command);
    void showList();
    void moveTo(int position, int direction);
    void wantCovers();
    void showStatus();

    GameScene& m_game;
    songs::TSongList& m_list;
    songs::SongSelection& m_selection;
    songs::CoverRing* m_ring = nullptr;
    Hooks m_hooks;
    songs::SongBrowser m_browser;
    songs::SongSearchInput m_search;
    std::unique_ptr<songs::LibraryCache> m_noCache;
    std::unique_ptr<songs::CoverCache> m_covers;
    std::unique_ptr<songs::LibraryScanner> m_scanner;
    std::string m_selectedFolder; // the song selected last, kept across empty lists
    bool m_scanning = false;
    std::size_t m_found = 0;
    QTimer m_poll;
};

} // namespace cantorix::app
