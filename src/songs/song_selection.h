#pragma once
// Selecting a song: finds the song file of the selected folder, reads it into the song state,
// shows its artist and title and starts the music preview at a random point of its first half.
// Main thread only.

#include "media_player.h"
#include "scene/scene_nodes.h"
#include "song_file.h"
#include "song_library.h"

#include <filesystem>
#include <functional>
#include <string>

namespace cantorix::songs {

class SongSelection {
public:
    // random(n) returns an integer in 0 … n − 1.
    using Random = std::function<std::int64_t(std::int64_t n)>;

    SongSelection(std::filesystem::path songsDir, TSongList& songs, SongFile& song, MediaPlayer& player,
                  scene::TGLHUDText& artist, scene::TGLHUDText& title, Random random);

    // Throws what the song reader or the player throws (the texts show what was read before).
    void SelectSong();
    const std::string& songFileName() const { return m_songFileName; }
    std::filesystem::path selectedFolder() const { return m_songsDir / m_songs.selected(); }

private:
    void showTexts();

    std::filesystem::path m_songsDir;
    TSongList& m_songs;
    SongFile& m_song;
    MediaPlayer& m_player;
    scene::TGLHUDText& m_artist;
    scene::TGLHUDText& m_title;
    Random m_random;
    std::string m_songFileName;
};

// Reads a whole file; throws ESongFileError naming the file when it cannot be read.
std::string readSongFileBytes(const std::filesystem::path& file);

} // namespace cantorix::songs
