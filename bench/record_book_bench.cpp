// The record book of a long-played game: 200,000 performances over 30,000 songs by 12 players.
// Building it from the store's snapshot, the selection screen's questions on each ring turn, and
// counting one more session in.

#include "records/record_book.h"
#include "songs/song_identity.h"

#include <benchmark/benchmark.h>
#include <random>

namespace {

using namespace cantorix::records;

constexpr int kSongs = 30000;
constexpr int kPerformances = 200000;
constexpr int kPlayers = 12;

std::string artistOf(int song) {
    return "Artist " + std::to_string(song % 2500);
}
std::string titleOf(int song) {
    return "Title of song " + std::to_string(song);
}

// A few songs are sung far more often than most, as at any party.
int pickSong(std::mt19937& random) {
    return random() % 4 == 0 ? static_cast<int>(random() % 300)
                             : static_cast<int>(random() % kSongs);
}

std::vector<Performance> session(std::mt19937& random, std::int64_t atMs) {
    const int song = pickSong(random);
    const bool duet = song % 10 == 0;
    const int singers = 1 + static_cast<int>(random() % 3);
    std::vector<Performance> rows;
    for (int i = 0; i < singers; ++i) {
        Performance p;
        const int who = static_cast<int>(random() % (kPlayers + 2));
        if (who < kPlayers)
            p.playerId = who + 1;
        p.singerName = "Singer " + std::to_string(who);
        p.artist = artistOf(song);
        p.title = titleOf(song);
        p.key = {cantorix::songs::songIdentity(p.artist, p.title), duet ? 1 + i % 2 : 0};
        p.folder = "/home/someone/Songs/" + p.artist + "/" + p.title;
        p.total = static_cast<std::int64_t>(random() % 10000);
        p.finished = random() % 10 != 0;
        p.sungAtMs = atMs;
        p.sungMs = p.songMs = 200000;
        rows.push_back(std::move(p));
    }
    return rows;
}

struct Snapshot {
    Snapshot() {
        std::mt19937 random(7);
        for (int id = 1; id <= kPlayers; ++id)
            players.push_back({id, "Player " + std::to_string(id), 0xFFFFFF, "", 0});
        std::int64_t at = 1'600'000'000'000;
        while (performances.size() < kPerformances) {
            at += 240'000;
            for (Performance& p : session(random, at))
                performances.push_back(std::move(p));
        }
        for (int song = 0; song < 1000; ++song) {
            const int s = pickSong(random);
            keys.push_back(
                {cantorix::songs::songIdentity(artistOf(s), titleOf(s)), s % 10 == 0 ? 1 : 0});
        }
    }
    std::vector<Player> players;
    std::vector<Performance> performances;
    std::vector<RecordKey> keys; // what a turning ring lands on
};

const Snapshot& snapshot() {
    static const Snapshot data;
    return data;
}

void assignSnapshot(benchmark::State& state) {
    const Snapshot& data = snapshot();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Player> players = data.players;
        std::vector<Performance> performances = data.performances;
        RecordBook book;
        state.ResumeTiming();
        book.assign(std::move(players), std::move(performances));
        benchmark::DoNotOptimize(book.performanceCount());
        state.PauseTiming();
        book = RecordBook(); // the old rows go outside the measured time
        state.ResumeTiming();
    }
}
BENCHMARK(assignSnapshot)->Unit(benchmark::kMillisecond);

const RecordBook& fullBook() {
    static const RecordBook book = [] {
        RecordBook b;
        b.assign(snapshot().players, snapshot().performances);
        return b;
    }();
    return book;
}

// What the selection screen asks for the song it lands on: the best five and one player's best.
void bestAndBestOfOneSong(benchmark::State& state) {
    const RecordBook& book = fullBook();
    std::size_t i = 0;
    for (auto _ : state) {
        const RecordKey& key = snapshot().keys[i++ % snapshot().keys.size()];
        benchmark::DoNotOptimize(book.best(key, 5));
        benchmark::DoNotOptimize(book.bestOf(key, 1 + static_cast<std::int64_t>(i % kPlayers)));
    }
}
BENCHMARK(bestAndBestOfOneSong)->Unit(benchmark::kMicrosecond);

void popularityOfOneSong(benchmark::State& state) {
    const RecordBook& book = fullBook();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            book.popularity(snapshot().keys[i++ % snapshot().keys.size()].song));
}
BENCHMARK(popularityOfOneSong)->Unit(benchmark::kMicrosecond);

void addOneSession(benchmark::State& state) {
    RecordBook book = fullBook();
    std::mt19937 random(11);
    std::int64_t at = 1'700'000'000'000;
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<Performance> rows = session(random, at += 240'000);
        state.ResumeTiming();
        book.add(rows);
    }
}
BENCHMARK(addOneSession)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
