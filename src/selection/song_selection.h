#pragma once
// Selecting a song: finds the song file of the selected folder, reads it in whichever format it
// is written (the game's own into the song state, the standard format into the selected song),
// shows its artist and title, and for a duet its voices and the voice chosen to sing, and starts
// the music preview. Main thread only.

#include "scene/gui/gui_control.h"
#include "scene/scene_nodes.h"
#include "songs/media_player_port.h"
#include "songs/selected_song.h"
#include "songs/song_file.h"
#include "songs/song_format.h"
#include "songs/song_library.h"
#include "songs/standard_song.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace cantorix::selection {

class SongSelection {
public:
    // random(n) returns an integer in 0 … n − 1.
    using Random = std::function<std::int64_t(std::int64_t n)>;

    SongSelection(std::filesystem::path songsDir, songs::TSongList& songs, songs::SongFile& song,
                  songs::MediaPlayer& player, scene::TGLHUDText& artist, scene::TGLHUDText& title,
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
    const songs::SelectedSong& selected() const { return m_selected; }

private:
    void read(const std::filesystem::path& folder, const std::filesystem::path& file);
    void showTexts();
    void showVoices();

    std::filesystem::path m_songsDir;
    songs::TSongList& m_songs;
    songs::SongFile& m_song;
    songs::MediaPlayer& m_player;
    scene::TGLHUDText& m_artist;
    scene::TGLHUDText& m_title;
    scene::TGLHUDText* m_voices = nullptr;
    scene::TGLLabel* m_voiceChoice = nullptr;
    Random m_random;
    std::string m_songFileName;
    songs::SelectedSong m_selected;
};

} // namespace cantorix::selection
