// Media names of a song resolved in its folder: exact names, names in another letter case, and
// names that must not leave the folder.

#include "songs/song_media_file.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace cantorix::songs;
namespace fs = std::filesystem;

TEST(SongMediaFileTest, NamesResolveInsideTheFolderIgnoringCase) {
    const fs::path root =
        fs::temp_directory_path() / ("cantorix_media_" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "Song" / "Pics");
    for (const char* file :
         {"Song/Song.MP3", "Song/song.ogg", "Song/Pics/Cover [CO].JPG", "outside.mp3"})
        std::ofstream(root / file) << "x";
    const fs::path folder = root / "Song";

    const std::pair<std::string, std::optional<fs::path>> cases[] = {
        {"Song.MP3", folder / "Song.MP3"},
        {"song.mp3", folder / "Song.MP3"},
        {"song.ogg", folder / "song.ogg"},
        {"pics/cover [co].jpg", folder / "Pics" / "Cover [CO].JPG"},
        {"./Pics/Cover [CO].JPG", folder / "./Pics/Cover [CO].JPG"},
        {"missing.mp3", std::nullopt},
        {"Pics", std::nullopt},
        {"", std::nullopt},
        {"../outside.mp3", std::nullopt},
        {"Pics/../../outside.mp3", std::nullopt},
        {(root / "outside.mp3").string(), std::nullopt},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(findSongMediaFile(folder, name), expected) << name;
    fs::remove_all(root);
}
