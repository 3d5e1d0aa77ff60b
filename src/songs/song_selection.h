#pragma once
// Selecting a song: finds the song file of the selected folder, reads it in whichever format it
// is written (the game's own into the song state, the standard format into the selected song),
// shows its artist and title, and for a duet its voices and the voice chosen to sing, and starts
// the music preview. Main thread only.

#include "media_player.h"
#include "scene/gui/gui_control.h"
#include "scene/scene_nodes.h"
#include "song_file.h"
#include "song_format.h"
#include "song_library.h"
#include "standard_song.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace cantorix::songs {

// The song read last when it is in the standard format; in either format its media files found
// in its folder (empty paths for none, and for one outside the folder), and the voice chosen.
struct SelectedSong {
    SongFormat format = SongFormat::Game;
    StandardSong standard;
    std::filesystem::path audioPath, videoPath, backgroundPath;
    std::size_t voice = 0;
};

class SongSelection {
public:
    // random(n) returns an integer in 0 … n − 1.
    using Random = std::function<std::int64_t(std::int64_t n)>;

    SongSelection(std::filesystem::path songsDir, TSongList& songs, SongFile& song,
                  MediaPlayer& player, scene::TGLHUDText& artist, scene::TGLHUDText& title,
                  Random random);

    // Where a duet's voice names and the control that chooses the voice are shown; both are
    // hidden for songs of one voice.
    void setVoiceDisplay(scene::TGLHUDText* voices, scene::TGLLabel* choice);

    // Whether selecting a song starts its music: a song known not to play is shown without.
    enum class Preview { Play, None };
    // Reads the selected song file and shows it; with Preview::Play its music starts too.
    // Throws what the song reader throws (the texts show what was read before), and
    // EMediaPlayerError when the music cannot be played: the song names no audio file in its
    // folder, or the player's own error. The music of the song before has stopped either way.
    void SelectSong(Preview preview = Preview::Play);
    // Reads the selected song file again (its format decided anew); throws the reader's error.
    // The chosen voice stays when the song still has it.
    void reload();
    // The next voice of a duet sings (after the last, the first again); nothing for solo songs.
    void chooseNextVoice();

    const std::string& songFileName() const { return m_songFileName; }
    std::filesystem::path selectedFolder() const { return m_songsDir / m_songs.selected(); }
    const SelectedSong& selected() const { return m_selected; }

private:
    void read(const std::filesystem::path& folder, const std::filesystem::path& file);
    void showTexts();
    void showVoices();

    std::filesystem::path m_songsDir;
    TSongList& m_songs;
    SongFile& m_song;
    MediaPlayer& m_player;
    scene::TGLHUDText& m_artist;
    scene::TGLHUDText& m_title;
    scene::TGLHUDText* m_voices = nullptr;
    scene::TGLLabel* m_voiceChoice = nullptr;
    Random m_random;
    std::string m_songFileName;
    SelectedSong m_selected;
};

// Reads a whole song text: a regular file of at most 4 MiB, refused before any byte is read
// otherwise. Throws ESongFileError naming the file and the reason (a named pipe, its size, …).
std::string readSongFileBytes(const std::filesystem::path& file);

} // namespace cantorix::songs
