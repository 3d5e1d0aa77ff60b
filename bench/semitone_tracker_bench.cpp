// The semitone analysis beside the game's own: its cost per 50 ms tick (the newest window taken
// from the analysis object's byte store, then the detector), and its accuracy on generated
// voices, silence and white noise, for each of aubio's YIN methods.

#include "fakes/generated_voice.h"
#include "fakes/semitone_ticks.h"
#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"
#include "platform/voice/aubio_semitone_tracker.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

using namespace cantorix;
using namespace cantorix::testing;

constexpr std::size_t kBurstSamples = 2205; // one 50 ms notification

void tick(benchmark::State& state, const char* method) {
    const std::vector<std::int16_t> voice = generatedVoice(everySemitoneTwice());
    pitch::TSound sound;
    pitch::MemoryWaveStream stream;
    platform::AubioSemitoneTracker tracker({.method = method});
    std::vector<std::int16_t> window(tracker.windowSamples());
    std::size_t first = 0;
    const auto capture = [&] {
        if (first + kBurstSamples > voice.size())
            first = 0;
        stream.append(reinterpret_cast<const std::uint8_t*>(voice.data() + first),
                      2 * kBurstSamples);
        sound.OnSoundCaptured(stream);
        first += kBurstSamples;
    };
    for (int i = 0; i < 6; ++i) // into the first note, as the game is when a session starts
        capture();
    std::int64_t voiced = 0;
    for (auto _ : state) {
        state.PauseTiming(); // the capture's own work is the game's analysis, measured elsewhere
        capture();
        state.ResumeTiming();
        sound.newestSamples(window);
        const pitch::SemitoneReading r = tracker.analyse(window);
        benchmark::DoNotOptimize(r);
        voiced += r.voiced;
    }
    // A voice sung 82 % of the time: yinfft's 0 shows it hears none of it.
    state.counters["voiced%"] =
        100.0 * static_cast<double>(voiced) / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(tick, yinfast, "yinfast")
    ->Name("SemitoneTracker/tick/yinfast")
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(tick, yin, "yin")
    ->Name("SemitoneTracker/tick/yin")
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(tick, yinfft, "yinfft")
    ->Name("SemitoneTracker/tick/yinfft")
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Shares in per cent: right and octave-wrong of the ticks 60 ms or more into a note, unvoiced
// of 20 s of silence and of 20 s of white noise at −30 dBFS.
void accuracy(benchmark::State& state, const char* method) {
    const std::vector<VoiceNote> notes = everySemitoneTwice();
    const std::vector<std::int16_t> voice = generatedVoice(notes);
    const std::vector<std::int16_t> silence(44100 * 20, 0);
    const std::vector<std::int16_t> noise = whiteNoise(44100 * 20, -30.0);
    MelodyScore score;
    double quietSilence = 0, quietNoise = 0;
    for (auto _ : state) {
        platform::AubioSemitoneTracker tracker({.method = method});
        score = scoreMelody(readEveryTick(tracker, voice), notes);
        quietSilence = unvoicedShare(readEveryTick(tracker, silence));
        quietNoise = unvoicedShare(readEveryTick(tracker, noise));
    }
    state.counters["judged"] = score.judged;
    state.counters["right%"] = 100 * score.rightShare();
    state.counters["octave%"] = 100 * score.octaveShare();
    state.counters["silenceUnvoiced%"] = 100 * quietSilence;
    state.counters["noiseUnvoiced%"] = 100 * quietNoise;
}
BENCHMARK_CAPTURE(accuracy, yinfast, "yinfast")
    ->Name("SemitoneTracker/accuracy/yinfast")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(accuracy, yin, "yin")
    ->Name("SemitoneTracker/accuracy/yin")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(accuracy, yinfft, "yinfft")
    ->Name("SemitoneTracker/accuracy/yinfft")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
