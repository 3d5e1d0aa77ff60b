// Media names of a song resolved in its folder: exact names, names in another letter case, and
// names or links that must not leave the folder, in both song formats.

#include "songs/song_catalog.h"
#include "songs/song_media_file.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
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

// Each row builds a song folder beside "outside/", which holds a song and a cover of its own. The
// scan's summary of a song text naming the row's audio must show only files of the folder.
TEST(SongMediaFileTest, HostileFoldersNeverLeadOutsideInEitherFormat) {
    const fs::path root =
        fs::temp_directory_path() / ("cantorix_hostile_" + std::to_string(getpid()));
    const std::string jpeg = "\xFF\xD8\xFF\xE0 jpeg";
    const auto file = [&](const fs::path& path) { std::ofstream(path, std::ios::binary) << jpeg; };
    struct Row {
        const char* name;
        std::function<void(const fs::path& song)> build;
        std::string audio;    // the name the song text gives
        const char* expected; // the audio found, relative to the folder; "" when refused
        const char* cover;    // the cover shown; "" for none
    };
    const Row rows[] = {
        {"climbs", [&](auto& s) { file(s / "cover.jpg"); }, "../outside/a.mp3", "", "cover.jpg"},
        {"absolute", [](auto&) {}, (root / "outside/a.mp3").string(), "", ""},
        {"links out",
         [](auto& s) {
             fs::create_symlink("../outside/a.mp3", s / "a.mp3");
             fs::create_symlink("../outside/cover.jpg", s / "cover.jpg");
             fs::create_symlink("../outside/cover.jpg", s / "b [CO].jpg");
         },
         "a.mp3", "", ""},
        {"folder links out", [](auto& s) { fs::create_directory_symlink("../outside", s / "m"); },
         "m/a.mp3", "", ""},
        {"links inside",
         [&](auto& s) {
             fs::create_directory(s / "m");
             file(s / "m/take.mp3");
             file(s / "m/front.jpg");
             fs::create_symlink("m/take.mp3", s / "a.mp3");
             fs::create_symlink(fs::canonical(s) / "m/front.jpg", s / "cover.jpg");
         },
         "a.mp3", "a.mp3", "cover.jpg"},
        {"the folder is a link",
         [&](auto& s) {
             fs::rename(s, root / "real");
             fs::create_directory_symlink("real", s);
             file(s / "take.mp3");
             file(s / "cover.jpg");
             fs::create_symlink(root / "real/take.mp3", s / "a.mp3");
         },
         "a.mp3", "a.mp3", "cover.jpg"},
        {"cover is a named pipe",
         [&](auto& s) {
             file(s / "a.mp3");
             ASSERT_EQ(::mkfifo((s / "cover.jpg").c_str(), 0600), 0);
         },
         "a.mp3", "a.mp3", ""},
        {"letter case",
         [&](auto& s) {
             file(s / "Song.MP3");
             file(s / "COVER.JPG");
         },
         "song.mp3", "Song.MP3", "COVER.JPG"},
    };
    const std::pair<const char*, std::string> formats[] = {
        {"game", "#TITLE:T\n#MP3:%\n#BPM:120\n#GAP:0\n: 0 4 21 la\nE\n"},
        {"standard", "#VERSION:1.0.0\n#TITLE:T\n#BPM:120\n#AUDIO:%\n: 0 4 0 la\nE\n"}};
    for (const Row& row : rows) {
        for (const auto& [format, text] : formats) {
            fs::remove_all(root);
            fs::create_directories(root / "outside");
            file(root / "outside/a.mp3");
            file(root / "outside/cover.jpg");
            const fs::path song = root / "song";
            fs::create_directory(song);
            row.build(song);
            std::string songText = text;
            songText.replace(songText.find('%'), 1, row.audio);
            std::ofstream(song / "song.txt") << songText;

            const SongSummary summary = summariseSong(song, song / "song.txt");
            const std::string at = std::string(row.name) + " (" + format + ")";
            EXPECT_EQ(summary.error, "") << at;
            EXPECT_EQ(summary.audio, *row.expected ? (song / row.expected).string() : "") << at;
            EXPECT_EQ(summary.cover, *row.cover ? (song / row.cover).string() : "") << at;
            const SongMediaLookup lookup = SongFolder(song).audio(row.audio);
            EXPECT_EQ(lookup.refusal.empty(), *row.expected != '\0') << at << lookup.refusal;
        }
    }
    fs::remove_all(root);
}
