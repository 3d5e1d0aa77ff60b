#pragma once
// Which picture of a song's folder is its cover; never one that a link leads out of the folder.
// Reads the folder and the first bytes of candidate pictures; any thread. (Media tags in
// general: song_media_file.h.)

#include <filesystem>
#include <string_view>

namespace cantorix::songs {

// The cover: the #COVER tag's file when it resolves (findSongMediaFile) to a JPEG or PNG
// picture; else "cover.jpg" (letter case aside) as for the game's own songs; else the first
// JPEG or PNG picture of the folder, by file name, whose name contains "[CO]" or "cover" in any
// case. Empty when there is none: the caller shows the fallback cover.
std::filesystem::path findCoverFile(const std::filesystem::path& songFolder,
                                    std::string_view coverTag);

// The cover of a song in the game's own format, and of a song file that cannot be read:
// "cover.jpg" (letter case aside) in the folder, whatever it holds. Empty when there is none.
std::filesystem::path findGameSongCover(const std::filesystem::path& songFolder);

} // namespace cantorix::songs
