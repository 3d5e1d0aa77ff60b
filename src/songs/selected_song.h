#pragma once
// The song chosen to sing, as the selection read it: its format, the standard-format song when
// it is one, its media files found in its folder and the voice chosen. A plain value.

#include "songs/song_format.h"
#include "songs/standard_song.h"

#include <cstddef>
#include <filesystem>

namespace cantorix::songs {

// The song read last when it is in the standard format; in either format its media files found
// in its folder (empty paths for none, and for one outside the folder), and the voice chosen.
struct SelectedSong {
    SongFormat format = SongFormat::Game;
    StandardSong standard;
    std::filesystem::path audioPath, videoPath, backgroundPath;
    std::size_t voice = 0;
};

} // namespace cantorix::songs
