// cantorix-tool scan: lists the songs of a songs directory as the selection screen does, with a
// verdict for each.

#include "songs/song_file.h"
#include "songs/song_library.h"
#include "songs/song_selection.h"
#include "tool_commands.h"

#include <cstdio>
#include <exception>

namespace cantorix::tools {

int runScanCommand(const Args& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: cantorix-tool scan DIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path songsDir = args[0];
    std::error_code ec;
    if (!fs::is_directory(songsDir, ec)) {
        std::fprintf(stderr, "cantorix-tool: '%s' is not a directory\n", songsDir.c_str());
        return 1;
    }
    const auto entries = songs::listSongEntries(songsDir);
    int failures = 0;
    songs::SongFile song;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const fs::path folder = songsDir / entries[i];
        const std::string fileName = songs::findSongFileName(folder);
        std::string verdict;
        if (fileName.empty()) {
            verdict = "no song file";
        } else {
            try {
                song.load(songs::readSongFileBytes(folder / fileName), folder, folder / fileName);
                verdict = "loads: " + song.displayText(song.songArtist()) + " - " +
                          song.displayText(song.songTitle()) + " (" + std::to_string(song.recordCount()) +
                          " records)";
            } catch (const std::exception& e) {
                verdict = std::string("fails: ") + e.what();
                ++failures;
            }
        }
        std::printf("%zu\t%s\t%s\n", i, entries[i].c_str(), verdict.c_str());
    }
    return failures == 0 ? 0 : 1;
}

} // namespace cantorix::tools
