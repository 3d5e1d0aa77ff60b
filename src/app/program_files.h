#pragma once
// The program directory's layout and the start-up check that there are songs to sing.

#include <filesystem>

namespace cantorix::app {

// Counts what the song folder enumeration sees in songsDir: folders and plain files, hidden
// entries (names starting with ".") left out, plus the two navigation entries "." and "..",
// which every listing on the original platform returned first. A missing directory counts 0.
int countSongEntries(const std::filesystem::path& songsDir);

// True when start-up must stop with the "add songs" message: the directory holds nothing but the
// navigation entries, or does not exist at all.
bool songsDirectoryIsEmpty(const std::filesystem::path& songsDir);

inline constexpr const char* kAddSongsMessage = "Please add songs to Your Songs\\ directory";

} // namespace cantorix::app
