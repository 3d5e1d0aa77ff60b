#pragma once
// Where the export keeps its working files under the program directory. Plain paths, any
// thread.

#include <filesystem>

namespace cantorix::audio {

struct ExportFiles {
    std::filesystem::path songAudio;    // the song's MP3 file
    std::filesystem::path destination;  // the MP3 the player chose
    std::filesystem::path wrappedSong;  // data/buffer/buf.wav: the song's MPEG data in RIFF
    std::filesystem::path decodedSong;  // data/buffer/mix/buf.wav: the song as PCM
    std::filesystem::path voice;        // data/buffer/mix/buf1.wav: the recording
    std::filesystem::path mixDirectory; // data/buffer/mix: the mix "f" + n + ".wav" goes here

    static ExportFiles under(const std::filesystem::path& programDir,
                             std::filesystem::path songAudio, std::filesystem::path destination);

    // data/buffer/mix/f<n>.wav
    std::filesystem::path mixFile(int number) const;
};

// Paths compared the way the game's own file system did: spelling of letters ignored.
bool samePathIgnoringCase(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace cantorix::audio
