#pragma once
// Selecting a song: finds the song file of the selected folder, reads it in whichever format it
// is written (the game's own into the song state, the standard format into the selected song),
// shows its artist and title, and for a duet its voices and the voice each singer chose, and
// starts the music preview. Main thread only.

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
#include <string_view>
#include <vector>

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
    // The chosen voice stays when the song still has it. A medley chosen stays as it is.
    void reload();
    // Chooses a medley in place of the song: the preview stops, its name shows, and singers
    // choose voices as for a song of as many voices. Selecting a song leaves it.
    void selectMedley(std::shared_ptr<const songs::MedleySong> medley);
    // The bound singers' names in slot order (none when nobody is bound: singer 1 still
    // chooses). Each singer's voice returns to its default, except where the count stays.
    void setSingers(std::vector<std::string> names);
    std::size_t singerCount() const { return m_singers.size(); }

    // The V key on a duet. With one singer, the next voice sings (after the last, the first
    // again); with several, every singer moves on to the next voice, so two singers of a duet
    // swap parts. Nothing for solo songs.
    void chooseNextVoice();
    // A singer's number key on a duet sung by several: that singer alone moves on to the next
    // voice. Nothing for solo songs and for a singer not bound.
    void chooseNextVoiceOf(std::size_t singer);
    // A click at viewer x on the voice label: with one singer the next voice; with several, on
    // "[V] swap" every singer's, on a singer's part theirs; elsewhere nothing.
    void chooseVoiceAt(int x);
    // How many singers' number keys choose their voice now: the singers of a duet shown with
    // its voices when several sing, else none.
    std::size_t voiceKeySingers() const;

    const std::string& songFileName() const { return m_songFileName; }
    std::filesystem::path selectedFolder() const { return m_songsDir / m_songs.selected(); }
    const songs::SelectedSong& selected() const { return m_selected; }
    // The length (ms) of the music the preview opened; 0 when none is open.
    std::int64_t previewLengthMs() const { return m_player.length(); }

private:
    void read(const std::filesystem::path& folder, const std::filesystem::path& file);
    void showTexts();
    void showVoices();
    bool duetShown() const;
    // Every singer on their default voice, or (keepChoices) on the one they chose where the song
    // has it.
    void assignVoices(bool keepChoices);
    // The label's parts for several singers: "[V] swap", then each singer's number, name and
    // voice, shortened until they fit the label.
    std::vector<std::string> singerVoiceParts();

    std::filesystem::path m_songsDir;
    songs::TSongList& m_songs;
    songs::SongFile& m_song;
    songs::MediaPlayer& m_player;
    scene::TGLHUDText& m_artist;
    scene::TGLHUDText& m_title;
    scene::TGLHUDText* m_voices = nullptr;
    scene::TGLLabel* m_voiceChoice = nullptr;
    Random m_random;
    std::vector<std::string> m_singers;
    // What the voice label shows for several singers, part by part, to find the part clicked.
    std::vector<std::string> m_voiceParts;
    std::string_view m_voiceSeparator;
    std::string m_songFileName;
    songs::SelectedSong m_selected;
};

} // namespace cantorix::selection
