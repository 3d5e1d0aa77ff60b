#pragma once
// Where a media tag of a song points: a file in the song folder, found even when the letter case
// of the name differs (songs are often made on systems that ignore case). Reads the folder; any
// thread.

#include <filesystem>
#include <optional>
#include <string_view>

namespace cantorix::songs {

// The file the name gives, relative to the song folder: the exact name when it exists, else the
// entries whose names match ignoring ASCII case, one path component at a time. Empty for a name
// that is empty, absolute or climbs out of the folder (".."), and for a name that names nothing.
std::optional<std::filesystem::path> findSongMediaFile(const std::filesystem::path& songFolder,
                                                       std::string_view name);

// A song's audio file: found as above; a name that names nothing keeps its name in the folder,
// so the player's message says which file it could not open. Empty for an empty name and for one
// outside the folder.
std::filesystem::path songAudioFile(const std::filesystem::path& songFolder, std::string_view name);

} // namespace cantorix::songs
