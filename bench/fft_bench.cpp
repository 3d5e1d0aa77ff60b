// The magnitude spectrum of one analysis block (4096 samples) beside FFTW's complex transform of
// the same length in the same precision, run for run in one process.

#include "pitch/fft.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <fftw3.h>
#include <numbers>
#include <vector>

namespace {

constexpr int kLength = 4096;

// A windowed 220 Hz tone with a little of everything else, the kind of block the analysis sees.
std::vector<float> analysisBlock() {
    std::vector<float> block(kLength + 1);
    for (int j = 0; j < kLength; ++j) {
        const double t = j / 44100.0;
        const double weight = j < kLength / 2 ? (j + 1) / 2048.0 : (kLength - j - 1) / 2048.0;
        const double tone = 8000.0 * std::sin(2.0 * std::numbers::pi * 220.0 * t) +
                            300.0 * std::sin(2.0 * std::numbers::pi * 1234.5 * t);
        block[static_cast<std::size_t>(j) + 1] = static_cast<float>(weight * tone);
    }
    return block;
}

void magnitudes(benchmark::State& state) {
    const std::vector<float> input = analysisBlock();
    std::vector<float> output(kLength + 1);
    for (auto _ : state) {
        cantorix::pitch::FFTMagnitudes(input, output, kLength);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(magnitudes)->Name("FFTMagnitudes/4096");

void fftwComplex(benchmark::State& state) {
    const std::vector<float> block = analysisBlock();
    fftw_complex* in = fftw_alloc_complex(kLength);
    fftw_complex* out = fftw_alloc_complex(kLength);
    fftw_plan plan = fftw_plan_dft_1d(kLength, in, out, FFTW_FORWARD, FFTW_MEASURE);
    // FFTW_MEASURE overwrites the arrays while planning, so the data goes in afterwards.
    for (int j = 0; j < kLength; ++j) {
        in[j][0] = block[static_cast<std::size_t>(j) + 1] / 10.0;
        in[j][1] = 0.0;
    }
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}
BENCHMARK(fftwComplex)->Name("FFTW_complex_double/4096");

} // namespace
