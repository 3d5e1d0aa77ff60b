// The search of the song selection over a library of 30,000 songs: the cost of one keystroke,
// that is of narrowing the whole list to the songs that hold every typed word, and of ordering
// the list by artist once the scan has delivered it.

#include "generated_summaries.h"

#include <benchmark/benchmark.h>

namespace {

using cantorix::songs::SongSummary;

const std::vector<SongSummary>& library() {
    static const std::vector<SongSummary> songs = cantorix::bench::generatedSummaries(30000);
    return songs;
}

void searchKeystroke(benchmark::State& state, const char* query) {
    std::size_t matches = 0;
    for (auto _ : state) {
        matches = cantorix::songs::searchSongs(library(), query).size();
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = static_cast<double>(matches);
}
BENCHMARK_CAPTURE(searchKeystroke, one_letter, "l")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchKeystroke, word, "love")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchKeystroke, two_words_accent, "cafe NIGHT")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchKeystroke, no_match, "zzz")->Unit(benchmark::kMillisecond);

void sortByArtist(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<SongSummary> songs = library();
        cantorix::songs::sortSongs(songs, cantorix::songs::SongOrder::ByArtist);
        benchmark::DoNotOptimize(songs.data());
    }
}
BENCHMARK(sortByArtist)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
