// Reading the longest song file of the shared corpus (target: under 1 ms), as the game does it:
// the format decision, then the standard reader. Without the corpus, a generated song of the
// same size stands in (about 640 lines, a Windows-1252 text with line breaks and golden notes).

#include "songs/song_format.h"
#include "songs/standard_song.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace cantorix::songs;

struct SongBytes {
    std::string bytes;
    std::string label;
};

std::string generatedSong() {
    std::string text = "#TITLE:Gener\xE9 song\r\n#ARTIST:Bench\r\n#MP3:a.mp3\r\n#BPM:312,5\r\n"
                       "#GAP:37480\r\n#VIDEO:v.avi\r\n#COVER:c.jpg\r\n";
    int beat = 0;
    for (int i = 0; i < 620; ++i) {
        text += (i % 7 == 0 ? "* " : ": ") + std::to_string(beat) + " 4 " +
                std::to_string(i % 13 - 2) + " syl\xE4" + "ble\r\n";
        beat += 6;
        if (i % 5 == 4)
            text += "- " + std::to_string(beat) + "\r\n";
    }
    return text + "E\r\n";
}

SongBytes longestSong() {
    const std::filesystem::path corpus = std::filesystem::path(CANTORIX_CORPUS_DIR) / "songs";
    std::error_code error;
    std::filesystem::path longest;
    std::uintmax_t longestSize = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus, error)) {
        const std::uintmax_t size = entry.file_size(error);
        if (!error && size > longestSize) {
            longest = entry.path();
            longestSize = size;
        }
    }
    if (longest.empty())
        return {generatedSong(), "generated song (no corpus)"};
    std::ifstream in(longest, std::ios::binary);
    return {{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()},
            "longest corpus file, " + std::to_string(longestSize) + " bytes"};
}

void BM_ReadLongestStandardSong(benchmark::State& state) {
    const SongBytes song = longestSong();
    for (auto _ : state) {
        if (detectSongFormat(song.bytes) != SongFormat::Standard) {
            state.SkipWithError("the song is not in the standard format");
            break;
        }
        benchmark::DoNotOptimize(readStandardSong(song.bytes));
    }
    state.SetLabel(song.label);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(song.bytes.size()));
}
BENCHMARK(BM_ReadLongestStandardSong)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
