// Media names of a song resolved in its folder: exact names, names in another letter case, and
// names or links that must not leave the folder, in both song formats.

#include "songs/song_catalog.h"
#include "songs/song_media_file.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// Each row fills a song folder beside "out/", which holds an audio file and a cover of its
// own; "link" is a link to the song folder. Entries: "x" a small JPEG, "x/" a folder, "x>target"
// a link ("%" is the root), "x|" a named pipe. The scan's summary of a song text naming the row's
// audio, in either format, shows only files of the folder.
TEST(SongMediaFileTest, HostileFoldersNeverLeadOutsideInEitherFormat) {
    const fs::path root =
        fs::temp_directory_path() / ("cantorix_hostile_" + std::to_string(getpid()));
    struct Row {
        const char* folder;
        std::string audio;    // the name the song text gives
        const char* expected; // the audio found, relative to the folder; "" when refused
        const char* cover;    // the cover shown; "" for none
        std::vector<std::string> entries;
    };
    // clang-format off
    const Row rows[] = {
        {"song", "../out/a.mp3", "", "cover.jpg", {"cover.jpg"}},
        {"song", (root / "out/a.mp3").string(), "", "", {}},
        {"song", "a.mp3", "", "", {"a.mp3>../out/a.mp3", "cover.jpg>%/out/c.jpg", "b[co].jpg>../out/c.jpg"}},
        {"song", "m/a.mp3", "", "", {"m>../out"}},
        {"song", "a.mp3", "a.mp3", "cover.jpg", {"m/", "m/t", "m/f", "a.mp3>m/t", "cover.jpg>%/song/m/f"}},
        {"link", "a.mp3", "a.mp3", "cover.jpg", {"t.mp3", "cover.jpg", "a.mp3>%/song/t.mp3"}},
        {"song", "a.mp3", "a.mp3", "", {"a.mp3", "cover.jpg|"}},
        {"song", "song.mp3", "Song.MP3", "COVER.JPG", {"Song.MP3", "COVER.JPG"}},
    };
    // clang-format on
    const std::string formats[] = {"#TITLE:T\n#MP3:%\n#BPM:120\n#GAP:0\n: 0 4 21 la\nE\n",
                                   "#VERSION:1.0.0\n#TITLE:T\n#BPM:120\n#AUDIO:%\n: 0 4 0 la\nE\n"};
    const auto fill = [](std::string text, const std::string& value) {
        const std::size_t at = text.find('%');
        return at == std::string::npos ? text : text.replace(at, 1, value);
    };
    const auto picture = [](const fs::path& file) { std::ofstream(file) << "\xFF\xD8\xFF\xE0"; };
    for (const Row& row : rows) {
        for (const std::string& format : formats) {
            fs::remove_all(root);
            fs::create_directories(root / "out");
            fs::create_directory(root / "song");
            fs::create_directory_symlink("song", root / "link");
            picture(root / "out/a.mp3");
            picture(root / "out/c.jpg");
            const fs::path song = root / row.folder;
            for (const std::string& written : row.entries) {
                const std::string entry = fill(written, root.string());
                const std::size_t arrow = entry.find('>');
                if (arrow != std::string::npos)
                    fs::create_symlink(entry.substr(arrow + 1), song / entry.substr(0, arrow));
                else if (entry.back() == '/')
                    fs::create_directory(song / entry);
                else if (entry.back() == '|')
                    ASSERT_EQ(::mkfifo((song / entry.substr(0, entry.size() - 1)).c_str(), 0600),
                              0);
                else
                    picture(song / entry);
            }
            std::ofstream(song / "song.txt") << fill(format, row.audio);

            const SongSummary summary = summariseSong(song, song / "song.txt");
            const std::string at = row.audio + " in " + format.substr(0, 9);
            EXPECT_EQ(summary.error, "") << at;
            EXPECT_EQ(summary.audio, *row.expected ? (song / row.expected).string() : "") << at;
            EXPECT_EQ(summary.cover, *row.cover ? (song / row.cover).string() : "") << at;
            const SongMediaLookup lookup = SongFolder(song).audio(row.audio);
            EXPECT_EQ(lookup.refusal.empty(), *row.expected != '\0') << at << lookup.refusal;
        }
    }
    fs::remove_all(root);
}
