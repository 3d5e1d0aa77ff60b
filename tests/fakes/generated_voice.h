#pragma once
// A synthetic singer for tests and benchmarks: a melody of MIDI notes sung with a voice-like
// timbre (six partials, vibrato of ±30 cents at 5 Hz, breath noise 20 dB below the voice), as
// 16-bit mono samples, silence between and after the notes. Deterministic; any thread.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <span>
#include <vector>

namespace cantorix::testing {

struct VoiceNote {
    int startMs = 0;
    int lengthMs = 0;
    int midiNote = 60; // 69 is A4 = 440 Hz
};

// The RMS level of the voiced part, in dB below full scale: a singer close to the microphone.
inline constexpr double kGeneratedVoiceDbfs = -18.0;

namespace detail {

// Partial amplitudes of an open vowel: the second partial nearly as strong as the first, so an
// analysis that prefers the octave above has a real chance to go wrong.
inline constexpr double kPartials[] = {1.0, 0.85, 0.6, 0.45, 0.3, 0.2};
inline constexpr double kVibratoHz = 5.0;
inline constexpr double kVibratoCents = 30.0;
inline constexpr double kBreathBelowDb = 20.0;
// Soft onsets and ends, as a voice has, instead of clicks that smear the spectrum.
inline constexpr double kRampSeconds = 0.01;

inline double noteFrequency(double midi) {
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

} // namespace detail

// The samples run from 0 ms to the end of the last note; overlapping notes add up.
inline std::vector<std::int16_t> generatedVoice(std::span<const VoiceNote> notes,
                                                int sampleRate = 44100, std::uint32_t seed = 1) {
    std::int64_t endMs = 0;
    for (const VoiceNote& n : notes)
        endMs = std::max<std::int64_t>(endMs, std::int64_t{n.startMs} + n.lengthMs);
    std::vector<double> mix(static_cast<std::size_t>(endMs * sampleRate / 1000), 0.0);
    double partialPower = 0;
    for (double a : detail::kPartials)
        partialPower += a * a / 2;
    const double voiceRms = 32768.0 * std::pow(10.0, kGeneratedVoiceDbfs / 20);
    const double gain = voiceRms / std::sqrt(partialPower);
    const double breathRms = voiceRms * std::pow(10.0, -detail::kBreathBelowDb / 20);
    std::mt19937 random(seed);
    std::normal_distribution<double> breath(0.0, breathRms);
    std::uniform_real_distribution<double> startPhase(0.0, 2 * std::numbers::pi);
    for (const VoiceNote& n : notes) {
        const auto first = static_cast<std::size_t>(std::int64_t{n.startMs} * sampleRate / 1000);
        const auto count = static_cast<std::size_t>(std::int64_t{n.lengthMs} * sampleRate / 1000);
        const double f0 = detail::noteFrequency(n.midiNote);
        const double vibratoPhase = startPhase(random);
        double phases[std::size(detail::kPartials)];
        for (double& p : phases)
            p = startPhase(random);
        double cycles = 0; // of the fundamental, so every partial stays locked to it
        for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            const double cents =
                detail::kVibratoCents *
                std::sin(2 * std::numbers::pi * detail::kVibratoHz * t + vibratoPhase);
            cycles += f0 * std::pow(2.0, cents / 1200) / sampleRate;
            double v = 0;
            for (std::size_t k = 0; k < std::size(detail::kPartials); ++k)
                v += detail::kPartials[k] *
                     std::sin(2 * std::numbers::pi * static_cast<double>(k + 1) * cycles +
                              phases[k]);
            const double left = static_cast<double>(count - i) / sampleRate;
            const double ramp =
                std::min({1.0, t / detail::kRampSeconds, left / detail::kRampSeconds});
            mix[first + i] += ramp * (gain * v + breath(random));
        }
    }
    std::vector<std::int16_t> out(mix.size());
    std::transform(mix.begin(), mix.end(), out.begin(), [](double v) {
        return static_cast<std::int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
    });
    return out;
}

// count samples of Gaussian white noise at the given RMS level in dB below full scale.
inline std::vector<std::int16_t> whiteNoise(std::size_t count, double dbfs,
                                            std::uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 32768.0 * std::pow(10.0, dbfs / 20));
    std::vector<std::int16_t> out(count);
    for (std::int16_t& s : out)
        s = static_cast<std::int16_t>(std::clamp(std::nearbyint(noise(random)), -32768.0, 32767.0));
    return out;
}

} // namespace cantorix::testing
