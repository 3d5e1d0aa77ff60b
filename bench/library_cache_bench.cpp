// The library cache on a library of 30,000 songs: reading it at start-up, storing the one summary
// of a song found unplayable (what the scanner's worker does after a failed preview), and how long
// the start waits when another process holds the file (bounded by the load's busy timeout).

#include "platform/storage/sqlite_library_cache.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using cantorix::platform::SqliteLibraryCache;
using cantorix::songs::SongSummary;

constexpr int kSongs = 30000;

SongSummary song(int i) {
    SongSummary s;
    s.folder =
        "/home/someone/Songs/Artist " + std::to_string(i % 900) + "/Title " + std::to_string(i);
    s.songFile = s.folder + "/song.txt";
    s.format = cantorix::songs::SongFormat::Standard;
    s.title = "Title " + std::to_string(i);
    s.artist = "Artist " + std::to_string(i % 900);
    s.audio = s.folder + "/song.mp3";
    s.cover = s.folder + "/cover.jpg";
    s.songStamp = {1'700'000'000'000'000'000 + i, 3000 + i};
    s.audioStamp = {1'700'000'000'000'000'000 + i, 4'000'000 + i};
    s.coverStamp = {1'700'000'000'000'000'000 + i, 60000 + i};
    s.folderStamp = {1'700'000'000'000'000'000 + i, 4096};
    return s;
}

// A cache of kSongs songs in a folder of its own, removed when the benchmark ends.
struct CacheFile {
    CacheFile() {
        std::vector<SongSummary> all;
        for (int i = 0; i < kSongs; ++i)
            all.push_back(song(i));
        fs::create_directories(dir);
        SqliteLibraryCache(file).store(all, {});
    }
    ~CacheFile() { fs::remove_all(dir); }
    fs::path dir = fs::temp_directory_path() / ("cantorix-cache-bench-" + std::to_string(getpid()));
    fs::path file = dir / "library.sqlite3";
};

void loadAtStart(benchmark::State& state) {
    CacheFile cache;
    std::size_t loaded = 0;
    for (auto _ : state)
        loaded = SqliteLibraryCache(cache.file).load().size();
    state.counters["songs"] = static_cast<double>(loaded);
}
BENCHMARK(loadAtStart)->Unit(benchmark::kMillisecond);

void storeOneUnplayableSong(benchmark::State& state) {
    CacheFile file;
    SqliteLibraryCache cache(file.file);
    cache.load();
    SongSummary changed = song(kSongs / 2);
    for (auto _ : state) {
        changed.unplayable = "cannot open the audio: " + std::to_string(state.iterations());
        cache.store({changed}, {});
    }
}
BENCHMARK(storeOneUnplayableSong)->Unit(benchmark::kMillisecond);

void loadWhileAnotherProcessWrites(benchmark::State& state) {
    CacheFile cache;
    sqlite3* holder = nullptr;
    sqlite3_open(cache.file.c_str(), &holder);
    sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    std::size_t loaded = 0;
    for (auto _ : state)
        loaded = SqliteLibraryCache(cache.file).load().size();
    sqlite3_close(holder);
    state.counters["songs"] = static_cast<double>(loaded);
}
BENCHMARK(loadWhileAnotherProcessWrites)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
