// The record store holding 200,000 performances (years of a busy party machine): storing one
// session of eight singers, what the records worker does after each song, and reading everything,
// what the game does at start — once on a store already open and once with the opening and its
// integrity check.

#include "platform/storage/sqlite_record_store.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using cantorix::platform::SqliteRecordStore;
using cantorix::records::Performance;

constexpr int kPerformances = 200'000;
constexpr int kSongs = 30'000;

Performance performance(int i) {
    const int song = (i * 7919) % kSongs;
    Performance p;
    p.playerId = std::nullopt;
    p.singerName = "Singer " + std::to_string(i % 40);
    p.colour = 0x3366CC + static_cast<std::uint32_t>(i % 8);
    p.key = {"artist " + std::to_string(song % 900) + "\x1Fsong title " + std::to_string(song),
             i % 5 == 0 ? 1 + i % 2 : 0};
    p.artist = "Artist " + std::to_string(song % 900);
    p.title = "Song Title " + std::to_string(song);
    p.folder = "/home/someone/Songs/Artist " + std::to_string(song % 900) + "/Song Title " +
               std::to_string(song);
    p.notePoints = 4000 + i % 5000;
    p.lineBonus = 1000;
    p.goldenPoints = i % 1000;
    p.total = p.notePoints + p.lineBonus + p.goldenPoints;
    p.possible = 9000;
    p.share = p.notePoints / 9000.0;
    p.sungAtMs = 1'700'000'000'000 + std::int64_t{i} / 8 * 240'000;
    p.sungMs = p.songMs = 200'000 + i % 60'000;
    p.finished = true;
    return p;
}

// A records file of kPerformances rows in a folder of its own, removed when the benchmark ends.
struct RecordsFile {
    RecordsFile() {
        SqliteRecordStore store(file);
        std::vector<Performance> rows;
        for (int i = 0; i < kPerformances; ++i) {
            rows.push_back(performance(i));
            if (rows.size() == 10'000)
                store.storeSession(std::exchange(rows, {}));
        }
    }
    ~RecordsFile() { fs::remove_all(dir); }
    fs::path dir =
        fs::temp_directory_path() / ("cantorix-records-bench-" + std::to_string(getpid()));
    fs::path file = dir / "records.sqlite3";
};

void storeOneSessionOfEight(benchmark::State& state) {
    RecordsFile records;
    SqliteRecordStore store(records.file);
    store.load();
    std::vector<Performance> session;
    session.reserve(8);
    for (int i = 0; i < 8; ++i)
        session.push_back(performance(kPerformances + i));
    for (auto _ : state)
        benchmark::DoNotOptimize(store.storeSession(session));
}
BENCHMARK(storeOneSessionOfEight)->Unit(benchmark::kMillisecond);

void loadOnAnOpenStore(benchmark::State& state) {
    RecordsFile records;
    SqliteRecordStore store(records.file);
    std::size_t loaded = store.load().performances.size();
    for (auto _ : state)
        loaded = store.load().performances.size();
    state.counters["performances"] = static_cast<double>(loaded);
}
BENCHMARK(loadOnAnOpenStore)->Unit(benchmark::kMillisecond);

void loadAtStart(benchmark::State& state) {
    RecordsFile records;
    std::size_t loaded = 0;
    for (auto _ : state)
        loaded = SqliteRecordStore(records.file).load().performances.size();
    state.counters["performances"] = static_cast<double>(loaded);
}
BENCHMARK(loadAtStart)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
