#include "pitch/tone.h"

#include "pitch/memory_wave_stream.h"
#include "pitch/sound.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace cantorix::pitch {

std::vector<std::uint8_t> sineTonePcm(double hz, double peak, std::size_t count) {
    std::vector<std::uint8_t> pcm;
    pcm.reserve(2 * count);
    const double step = 2.0 * std::numbers::pi * hz / kAssumedSampleRate;
    for (std::size_t n = 0; n < count; ++n) {
        const double value = std::clamp(
            std::nearbyint(peak * std::sin(step * static_cast<double>(n))), -32768.0, 32767.0);
        const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
        pcm.push_back(static_cast<std::uint8_t>(word & 0xFF));
        pcm.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return pcm;
}

std::uint8_t sungValueOfTone(double hz) {
    const std::vector<std::uint8_t> pcm = sineTonePcm(hz, kProbeTonePeak, kSamplesPerBlock);
    MemoryWaveStream stream;
    stream.append(pcm.data(), pcm.size());
    const auto sound = std::make_unique<TSound>();
    sound->OnSoundCaptured(stream);
    sound->Analyse();
    return sound->sungValue();
}

std::vector<std::uint8_t> possibleSungValues() {
    std::vector<std::uint8_t> values;
    for (int i = kFirstCandidate; i <= kLastCandidate; ++i) {
        const std::uint8_t value = sungValueOf(candidateBins(i, kSamplesPerBlock).b1);
        if (values.empty() || values.back() != value)
            values.push_back(value);
    }
    return values;
}

double toneFrequencyOfSungValue(std::uint8_t sungValue) {
    return (sungValue - 1.0) * kAssumedSampleRate / kSamplesPerBlock;
}

} // namespace cantorix::pitch
