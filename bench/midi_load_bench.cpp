// Loading a MIDI file of one track holding the full 100000 events a track may have: notes under
// running status with a controller, a text and a tempo change now and then. Also the editor's
// pass that times every event of such a track with one position.

#include "midi/midi_data.h"
#include "midi/midi_position.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace cantorix::midi;

using Bytes = std::vector<std::uint8_t>;

void appendBE32(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// 99999 events and the end-of-track.
Bytes fullTrackFile() {
    Bytes body;
    for (std::uint32_t i = 0; i < 99999; ++i) {
        if (i % 1000 == 0) { // tempo change (meta, 6 bytes)
            const std::uint32_t tempo = 400000 + (i / 1000) * 1000;
            body.insert(body.end(),
                        {0x00, 0xFF, 0x51, 0x03, static_cast<std::uint8_t>(tempo >> 16),
                         static_cast<std::uint8_t>(tempo >> 8), static_cast<std::uint8_t>(tempo)});
        } else if (i % 1000 == 500) {
            body.insert(body.end(), {0x00, 0xFF, 0x05, 0x02, 'l', 'a'});
        } else if (i % 100 == 1) {
            body.insert(body.end(), {0x00, 0xB0, 0x07, static_cast<std::uint8_t>(i % 128)});
        } else if (i % 2 == 0) {
            body.insert(body.end(), {0x0C, 0x90, static_cast<std::uint8_t>(48 + i % 24), 0x60});
        } else {
            body.insert(body.end(), {0x30, static_cast<std::uint8_t>(48 + (i - 1) % 24), 0x00});
        }
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    appendBE32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

void loadFullTrack(benchmark::State& state) {
    const Bytes file = fullTrackFile();
    TMidiData data;
    for (auto _ : state) {
        data.load(file, "bench.mid");
        benchmark::DoNotOptimize(data.Tracks(0));
    }
    if (data.Tracks(0)->EventCount() != 100000)
        std::abort();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    state.counters["events"] = 100000;
}
BENCHMARK(loadFullTrack)->Unit(benchmark::kMillisecond);

void timeEveryEvent(benchmark::State& state) {
    const Bytes file = fullTrackFile();
    TMidiData data;
    data.load(file, "bench.mid");
    for (auto _ : state) {
        TMidiPosition position(&data);
        for (const TMidiEvent& e : data.Tracks(0)->events())
            position.SetTicks(e.position);
        benchmark::DoNotOptimize(position.Time());
    }
}
BENCHMARK(timeEveryEvent)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
