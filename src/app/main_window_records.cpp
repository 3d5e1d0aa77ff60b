// The main window's side of the records: the screens that show the book follow it.

#include "main_window.h"

namespace cantorix::app {

void MainWindow::recordsChanged() {
    m_statistics->refresh();
    m_singers->recordsChanged();
    m_songRecords->refresh();
    // Shown again at the next frame: the lines held back while the records were being read.
    m_songRecordsShownFor.clear();
    m_library->popularityChanged();
    if (m_records->loaded() && !m_slotNamesAdopted) {
        // The slot names kept before there were players become players once the records are
        // read, so that a name that already is a player's is bound to them, not made twice.
        m_slotNamesAdopted = true;
        m_singers->adoptSlotNamesAsPlayers();
        showWhoSings();
    }
}

void MainWindow::followSongRecords() {
    const GameScene& g = *m_game;
    const songs::SelectedSong& song = m_selection->selected();
    const bool duet = song.format == songs::SongFormat::Standard && song.standard.voices.size() > 1;
    const std::string& artist = g.selection.artist->text();
    const std::string& title = g.selection.title->text();
    // What the lines depend on, compared as one text: most frames change none of it.
    std::string shownFor = artist + '\x1f' + title +
                           (duet ? "\x1f"
                                   "2"
                                 : "\x1f"
                                   "1");
    for (const std::size_t voice : song.singerVoices)
        shownFor += static_cast<char>('0' + voice);
    if (shownFor == m_songRecordsShownFor)
        return;
    m_songRecordsShownFor = std::move(shownFor);
    // Until the records are read, "Not sung yet" could be untrue: the lines wait for them.
    if (!m_records->loaded() || (artist.empty() && title.empty())) {
        m_songRecords->hideSong();
        return;
    }
    std::vector<PanelSinger> singers = m_panelSingers;
    for (std::size_t k = 0; k < singers.size(); ++k)
        singers[k].voice =
            duet && k < song.singerVoices.size() ? static_cast<int>(song.singerVoices[k]) + 1 : 0;
    m_songRecords->setSingers(std::move(singers));
    m_songRecords->showSong(artist, title, duet);
}

} // namespace cantorix::app
