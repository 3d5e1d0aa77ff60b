// cantorix-tool scan: lists the songs of a songs directory as the selection screen does, with
// the format each song file is in and a verdict for it.

#include "songs/song_file.h"
#include "songs/song_format.h"
#include "songs/song_library.h"
#include "songs/song_selection.h"
#include "songs/standard_song.h"
#include "tool_commands.h"

#include <cstdio>
#include <exception>
#include <string>

namespace cantorix::tools {

namespace {

std::string gameSummary(songs::SongFile& song, const std::string& bytes,
                        const std::filesystem::path& folder, const std::string& fileName) {
    song.load(bytes, folder, folder / fileName);
    return song.displayText(song.songArtist()) + " - " + song.displayText(song.songTitle()) + " (" +
           std::to_string(song.recordCount()) + " records)";
}

std::string standardSummary(const songs::StandardSong& song) {
    std::size_t notes = 0;
    std::string names;
    for (const songs::StandardVoice& voice : song.voices) {
        notes += voice.notes.size();
        if (!voice.name.empty())
            names += (names.empty() ? "" : ", ") + voice.name;
    }
    std::string summary =
        song.artist + " - " + song.title + " (" + std::to_string(notes) + " notes";
    if (song.voices.size() > 1)
        summary += " in " + std::to_string(song.voices.size()) + " voices: " + names;
    return summary + ")";
}

} // namespace

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
            const std::string bytes = songs::readSongFileBytes(folder / fileName);
            const bool standard = songs::detectSongFormat(bytes) == songs::SongFormat::Standard;
            const std::string format = standard ? "standard format" : "game format";
            try {
                verdict = "loads (" + format + "): " +
                          (standard ? standardSummary(songs::readStandardSong(bytes))
                                    : gameSummary(song, bytes, folder, fileName));
            } catch (const std::exception& e) {
                verdict = "fails (" + format + "): " + e.what();
                ++failures;
            }
        }
        std::printf("%zu\t%s\t%s\n", i, entries[i].c_str(), verdict.c_str());
    }
    return failures == 0 ? 0 : 1;
}

} // namespace cantorix::tools
