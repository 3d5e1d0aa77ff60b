// Working out a song's medley part when its file names none: the refrain search over a
// five-minute song of 80 lyric lines (verses that never come back, a chorus sung four times) and
// over the search's hardest case, a five-minute song whose 150 lines are all the same words. The
// song is read once; each iteration is findMedleyPart() alone, as a library scan runs it.

#include "songs/medley_part.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace cantorix::songs;

// Lines of six syllables every `spacing` beats at BPM 300 (50 ms a beat); `lyricsOf` names
// each line's words.
template <typename Lyrics> StandardSong fiveMinuteSong(int lines, int spacing, Lyrics lyricsOf) {
    std::string text = "#TITLE:Bench\n#ARTIST:Bench\n#BPM:300\n#GAP:2000\n";
    for (int line = 0; line < lines; ++line) {
        const int start = line * spacing;
        if (line)
            text += "- " + std::to_string(start - 2) + "\n";
        for (int k = 0; k < 6; ++k)
            text += ": " + std::to_string(start + 6 * k) + " 5 " + std::to_string((line + k) % 12) +
                    " " + lyricsOf(line, k) + "\n";
    }
    return readStandardSong(text + "E\n");
}

void refrainOfAVerseChorusSong(benchmark::State& state) {
    // 80 lines 75 beats (3.75 s) apart: verses of 12 lines, then the chorus's 8, four times.
    const StandardSong song = fiveMinuteSong(80, 75, [](int line, int k) {
        const int inRound = line % 20;
        return inRound < 12 ? "verse" + std::to_string(line) + "w" + std::to_string(k)
                            : "chorus" + std::to_string(inRound) + "w" + std::to_string(k);
    });
    std::optional<MedleyPart> part;
    for (auto _ : state) {
        part = findMedleyPart(song).part;
        benchmark::DoNotOptimize(part);
    }
    state.counters["found"] = part ? 1 : 0;
}
BENCHMARK(refrainOfAVerseChorusSong)->Unit(benchmark::kMillisecond);

void refrainOfASongOfOneLineRepeated(benchmark::State& state) {
    // 150 lines 40 beats (2 s) apart, every one "la la la la la la".
    const StandardSong song = fiveMinuteSong(150, 40, [](int, int) { return std::string("la "); });
    std::optional<MedleyPart> part;
    for (auto _ : state) {
        part = findMedleyPart(song).part;
        benchmark::DoNotOptimize(part);
    }
    state.counters["found"] = part ? 1 : 0;
}
BENCHMARK(refrainOfASongOfOneLineRepeated)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
