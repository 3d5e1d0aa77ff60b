// The jukebox: the game plays songs one after another without scoring, lyrics and video on
// screen, the queue's songs first and then the library's at random, never a song twice within
// the hour. A key skips, Escape ends it; a song of the queue whose turn comes (with Take songs
// on) is sung in its place, and the jukebox goes on after it.

#include "main_window.h"
#include "party/jukebox_picks.h"

#include <chrono>
#include <iostream>

namespace cantorix::app {

namespace {

constexpr int kKeyN = 'N';
// Songs that fail to open are passed over; this many in a row end the jukebox.
constexpr int kMostFailedInARow = 5;

std::int64_t jukeboxSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

void MainWindow::startJukebox() {
    if (m_jukebox || !m_screens->songListShown())
        return;
    m_jukebox = true;
    m_jukeboxStopping = false;
    playNextJukeboxSong();
}

void MainWindow::playNextJukeboxSong() {
    party::JukeboxChoice choice;
    for (const party::QueueRow& row : m_party->rows())
        // A medley waits for the queue's own turn: the jukebox plays whole songs.
        if (const party::QueueEntry* entry = m_party->queue().entry(row.entry);
            entry && !row.gone && !entry->medley)
            choice.queued.push_back(entry->songId);
    for (const songs::SongSummary& song : m_library->browser().songs())
        if (songs::playable(song))
            choice.library.push_back(song.songFile);
    choice.playedAt = m_jukeboxPlayedAt;
    for (int attempt = 0; attempt < kMostFailedInARow; ++attempt) {
        choice.now = jukeboxSeconds();
        const std::optional<std::string> next =
            party::nextJukeboxSong(choice, [this](std::size_t n) {
                return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
            });
        if (!next)
            break;
        m_jukeboxPlayedAt[*next] = choice.now;
        choice.playedAt[*next] = choice.now;
        if (!m_library->showSongFile(*next) || !m_library->selectedProblem().empty())
            continue;
        m_jukeboxSinging = true;
        m_screens->startSong();
        if (m_game->singing.group->visible())
            return;
        m_jukeboxSinging = false;
    }
    m_jukebox = false;
    std::cerr << "cantorix: the jukebox ends: no song is left that did not play within the hour\n";
}

bool MainWindow::jukeboxSongEnded() {
    if (!m_jukeboxSinging)
        return false;
    m_jukeboxSinging = false;
    if (m_jukeboxStopping) {
        m_jukebox = false;
        m_jukeboxStopping = false;
    }
    // Its score page has nothing to show: back to the songs, where the queue or the next song
    // of the jukebox follows.
    QTimer::singleShot(0, this, [this] {
        if (m_game->scorePage.group->visible())
            m_screens->backToSelection();
        followJukebox();
    });
    return true;
}

void MainWindow::followJukebox() {
    if (!m_jukebox)
        return;
    const bool queueTurn =
        m_party->queue().settings().takeFromQueue && m_party->nextUp().has_value();
    if (m_jukeboxSinging) {
        // The queue's song has its turn: the jukebox's song gives way at once.
        if (queueTurn)
            m_session->endSession(false);
        return;
    }
    const bool idle = m_screens->songListShown() && !m_game->singing.group->visible() &&
                      !m_game->scorePage.group->visible() && !m_game->nextUp.group->visible();
    if (idle && !queueTurn)
        playNextJukeboxSong();
}

void MainWindow::jukeboxKeyDown(int key) {
    if (!m_jukeboxSinging || !m_game->singing.group->visible())
        return;
    if (key == scene::keys::Escape)
        m_jukeboxStopping = true; // the session's own Escape then ends the song
    else if (key == kKeyN || key == scene::keys::Right || key == scene::keys::Enter)
        m_session->endSession(false);
}

} // namespace cantorix::app
