// One tick of the pitch analysis as the game runs it every 50 ms: a notification's 4410 bytes
// appended, trimmed, decoded and windowed, then the transform, smoothing and candidate search.

#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"
#include "pitch/tone.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

using namespace cantorix::pitch;

constexpr std::size_t kBurstBytes = 4410;
constexpr std::size_t kBursts = 40; // two seconds of sound, so the byte store trims as it would

void analysisTick(benchmark::State& state) {
    // A sung A with a quieter fifth above it.
    std::vector<std::uint8_t> pcm = sineTonePcm(220.0, 6000.0, kBursts * kBurstBytes / 2);
    const std::vector<std::uint8_t> fifth = sineTonePcm(330.0, 2000.0, kBursts * kBurstBytes / 2);
    for (std::size_t j = 0; j + 1 < pcm.size(); j += 2) {
        const auto a = static_cast<std::int16_t>(pcm[j] | pcm[j + 1] << 8);
        const auto b = static_cast<std::int16_t>(fifth[j] | fifth[j + 1] << 8);
        const auto sum = static_cast<std::uint16_t>(a + b);
        pcm[j] = static_cast<std::uint8_t>(sum & 0xFF);
        pcm[j + 1] = static_cast<std::uint8_t>(sum >> 8);
    }
    const auto sound = std::make_unique<TSound>();
    MemoryWaveStream stream;
    std::size_t burst = 0;
    for (auto _ : state) {
        stream.append(pcm.data() + burst * kBurstBytes, kBurstBytes);
        sound->OnSoundCaptured(stream);
        sound->Analyse();
        benchmark::DoNotOptimize(sound->detectedBin());
        burst = (burst + 1) % kBursts;
    }
    if (sound->detectedBin() != 22)
        state.SkipWithError("the tone was not detected");
}
BENCHMARK(analysisTick)->Name("TSound/tick")->Repetitions(15)->ReportAggregatesOnly(true);

} // namespace
