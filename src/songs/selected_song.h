#pragma once
// The song chosen to sing, as the selection read it: its format, the standard-format song when
// it is one, its media files found in its folder and the voice each singer chose. A plain value.

#include "songs/medley_song.h"
#include "songs/song_format.h"
#include "songs/standard_song.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <vector>

namespace cantorix::songs {

// The song read last when it is in the standard format; in either format its media files found
// in its folder (empty paths for none, and for one outside the folder), and the voices chosen.
struct SelectedSong {
    SongFormat format = SongFormat::Game;
    StandardSong standard;
    std::filesystem::path audioPath, videoPath, backgroundPath;
    // The voice (from 0) singer 1 sings: always singerVoices.front().
    std::size_t voice = 0;
    // The voice each bound singer sings, in slot order; one entry (singer 1's) when nobody is
    // bound. All 0 for songs of one voice and the game's own songs.
    std::vector<std::size_t> singerVoices{0};
    // Set while a medley is chosen: `standard` is then the medley's joined song and the media
    // paths are its first song's; this holds its music and where each of its songs is sung.
    std::shared_ptr<const MedleySong> medley;
};

} // namespace cantorix::songs
