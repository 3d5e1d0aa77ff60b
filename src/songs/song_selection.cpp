#include "song_selection.h"

#include "song_errors.h"

#include <fstream>
#include <iterator>

namespace cantorix::songs {

namespace fs = std::filesystem;

std::string readSongFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw ESongFileError("Cannot open the song file '" + file.string() + "'");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw ESongFileError("Cannot read the song file '" + file.string() + "'");
    return bytes;
}

SongSelection::SongSelection(fs::path songsDir, TSongList& songs, SongFile& song, MediaPlayer& player,
                             scene::TGLHUDText& artist, scene::TGLHUDText& title, Random random)
    : m_songsDir(std::move(songsDir)), m_songs(songs), m_song(song), m_player(player),
      m_artist(artist), m_title(title), m_random(std::move(random)) {}

void SongSelection::showTexts() {
    m_artist.setText(m_song.displayText(m_song.songArtist()));
    m_title.setText(m_song.displayText(m_song.songTitle()));
}

void SongSelection::SelectSong() {
    const fs::path folder = selectedFolder();
    m_songFileName = findSongFileName(folder);
    if (m_songFileName.empty()) {
        // A folder without a song file: show its name, stay quiet, and do not nag on every step.
        m_player.close();
        m_artist.setText("");
        m_title.setText(m_songs.selected());
        return;
    }
    const fs::path file = folder / m_songFileName;
    try {
        m_song.load(readSongFileBytes(file), folder, file);
    } catch (...) {
        // The reader sets the texts before it meets a bad number; show what it got.
        showTexts();
        throw;
    }
    showTexts();
    m_player.setFileName(m_song.audioPath());
    m_player.open();
    const std::int64_t half = m_player.length() / 2;
    m_player.setStartPosition(half > 0 ? m_random(half) : 0);
    m_player.play();
}

} // namespace cantorix::songs
