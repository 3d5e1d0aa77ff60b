#pragma once
// The selection screen over a large library: takes the cached songs at once, keeps the list in
// step with the scan running behind it, narrows it to a typed search, moves through it by key,
// and has the covers near the selected song decoded. Owns the scanner, the list model, the
// search text and the cover cache; borrows the scene, the song list, the ring and the
// selection from the main window. Main thread only (its timer polls the workers).

#include "game_scene.h"
#include "selection/cover_cache.h"
#include "selection/cover_ring.h"
#include "selection/song_browser.h"
#include "selection/song_search_input.h"
#include "selection/song_selection.h"
#include "songs/library_scanner.h"

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
        // Keeps a song found unplayable for the next start (the scanner's cache by default).
        std::function<void(songs::SongSummary)> remember = {};
        // The library line changed: the songs known, their problems or the scan's progress.
        std::function<void()> statusChanged = {};
    };

    SongLibraryScreen(GameScene& game, songs::TSongList& list, selection::SongSelection& selection,
                      Hooks hooks);
    ~SongLibraryScreen();

    // The material showing a list entry's cover; the fallback until the cover is decoded.
    std::string coverMaterial(int index);
    void setRing(selection::CoverRing& ring) { m_ring = &ring; }

    // Lists the cached songs and selects the first one shown, its preview held until
    // releasePreview(). The scan waits for startScan(), unless nothing was cached: then it starts
    // at once and a small library is listed by the time this returns. Throws
    // scene::EImageError when the fallback cover cannot be read.
    void start(std::vector<std::filesystem::path> roots, songs::LibraryCache* cache,
               scene::ImageLoader& coverLoader, const std::filesystem::path& fallbackCover);
    // The scan confirms the cached list behind the screen; once.
    void startScan();
    // The selected song's preview plays from now on, and every song selected later plays its own.
    void releasePreview();
    void setOrder(songs::SongOrder order);
    // How often and how lately each song was sung, for the orders "most sung" and "recently
    // sung"; popularityChanged() sorts the list again after a session or the records' reading.
    void setPopularity(songs::SongPopularityLookup lookup);
    void popularityChanged();

    void keyDown(int key);
    void keyPress(char32_t ch);

    // What the cover ring runs for the song it selected: shows it and plays its preview, or says
    // on the slab why it cannot be played. Never throws for a song that cannot be read or
    // played; audio that fails to open marks the song unplayable and remembers it.
    void selectSong();
    // Turns to the song of this song file and selects it, clearing a search that hides it; false
    // when the library has no such song.
    bool showSongFile(const std::string& songFile);
    // Asked before a session starts: false when the selected song cannot be played, and the
    // library line then says why.
    bool mayStart();
    // Lists the songs that cannot be played as well, or hides them (the selected one stays).
    void setShowUnplayable(bool show);
    // Why the selected song cannot be played; empty when it can.
    const std::string& selectedProblem() const { return m_problem; }
    // Said after the library line's count ("4 songs · 3 marked for a medley"); empty: nothing.
    void setStatusAddition(std::string text);

    // What the timer runs: the scan's news, the decoded covers.
    void poll();
    bool scanning() const { return m_scanning; }
    // A scan has gone through every folder: a song not listed now is not in the library.
    bool scanned() const { return m_scanned; }
    const selection::SongBrowser& browser() const { return m_browser; }

private:
    void awaitFirstSongs();
    // Takes the scan's news into the list model; true when songs came or went.
    bool takeUpdate();
    void run(const selection::SelectionCommand& command);
    void showList();
    void moveTo(int position, int direction);
    void wantCovers();
    void showStatus();
    void showProblem();
    // The song under the cursor, as the browser lists it; null when none is.
    const songs::SongSummary* selectedSummary() const;
    // The preview's audio opened: its length is the song's from now on, kept in the cache.
    void keepAudioLength();
    // The preview's audio would not open: the song is marked unplayable and kept in the cache,
    // unless it was the sound output that failed.
    std::string audioFailed(const songs::EMediaPlayerError& error);

    GameScene& m_game;
    songs::TSongList& m_list;
    selection::SongSelection& m_selection;
    selection::CoverRing* m_ring = nullptr;
    Hooks m_hooks;
    selection::SongBrowser m_browser;
    selection::SongSearchInput m_search;
    std::unique_ptr<songs::LibraryCache> m_noCache;
    std::unique_ptr<selection::CoverCache> m_covers;
    std::unique_ptr<songs::LibraryScanner> m_scanner;
    std::vector<std::filesystem::path> m_roots;
    std::string m_selectedFolder; // the song selected last, kept across empty lists
    std::string m_problem;        // why the selected song cannot be played
    std::string m_verdict;        // the browser's problem line of it, as it was then
    // The sound output, not the song, failed the preview: Start tries again.
    bool m_outputFailed = false;
    std::string m_notice; // Start's refusal, on the library line until the selection moves
    std::string m_statusAddition;
    songs::FileStamp m_previewedAudio; // the audio as the preview opened it
    bool m_scanning = false;
    bool m_scanned = false;
    bool m_scanStarted = false;
    bool m_previewHeld = true;
    std::size_t m_found = 0;
    QTimer m_poll;
};

} // namespace cantorix::app
