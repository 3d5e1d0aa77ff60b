#pragma once
// Where the game keeps the performance it records and the export's working files:
// data/buffer/ under the program directory, or the player's cache when that directory cannot be
// written (an installed game). Main thread.

#include <filesystem>

namespace cantorix::audio {

// data/buffer under programDir when the game may write there; else
// $XDG_CACHE_HOME/cantorix/buffer (default ~/.cache/cantorix/buffer), so an installed game
// records into the player's own files instead of failing on a read-only share/cantorix.
std::filesystem::path bufferDirectory(const std::filesystem::path& programDir);
std::filesystem::path mixBufferDirectory(const std::filesystem::path& programDir);
std::filesystem::path performanceRecordingPath(const std::filesystem::path& programDir);

// Creates the mix buffer directory when it is missing. Returns false, without raising, when it
// cannot be made: the recording then fails with its own message at song start.
bool ensureMixBufferDirectory(const std::filesystem::path& programDir);

} // namespace cantorix::audio
