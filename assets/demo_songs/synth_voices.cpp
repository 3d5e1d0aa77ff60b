#include "synth_voices.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cantorix::assets::demo {

namespace {

constexpr int kTableSize = 4096;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// An S-shaped ramp, 0 at x <= 0 and 1 at x >= 1, as smooth as a raised cosine but cheaper.
double smoothRamp(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

} // namespace

std::size_t frameAt(double ms) {
    return static_cast<std::size_t>(std::llround(std::max(0.0, ms) * kSampleRate / 1000.0));
}

Output::Output(Mix& mix, const Placement& place) : m_mix(mix) {
    const double angle = (place.pan + 1.0) * std::numbers::pi / 4.0;
    m_left = place.gain * std::cos(angle);
    m_right = place.gain * std::sin(angle);
    m_sendLeft = m_left * place.send;
    m_sendRight = m_right * place.send;
}

Wavetable::Wavetable(const std::vector<double>& harmonics) : m_table(kTableSize + 1) {
    double peak = 0.0;
    for (int i = 0; i < kTableSize; ++i) {
        double value = 0.0;
        for (std::size_t h = 0; h < harmonics.size(); ++h)
            value += harmonics[h] * std::sin(kTwoPi * double(h + 1) * i / kTableSize);
        m_table[static_cast<std::size_t>(i)] = static_cast<float>(value);
        peak = std::max(peak, std::abs(value));
    }
    for (float& v : m_table)
        v = static_cast<float>(v / peak);
    m_table[kTableSize] = m_table[0];
}

double Wavetable::at(double phase) const {
    const double position = phase * kTableSize;
    const auto index = static_cast<std::size_t>(position);
    const double fraction = position - double(index);
    return m_table[index] + fraction * (m_table[index + 1] - m_table[index]);
}

void addTone(Mix& mix, const Wavetable& table, const Tone& tone, const ToneShape& shape,
             const Placement& place) {
    Output out(mix, place);
    const std::size_t first = frameAt(tone.startMs);
    const std::size_t releaseAt = frameAt(tone.startMs + tone.lengthMs);
    const std::size_t end =
        std::min(out.frames(), frameAt(tone.startMs + tone.lengthMs + shape.releaseMs));
    const double attackFrames = shape.attackMs * kSampleRate / 1000.0;
    const double releaseFrames = shape.releaseMs * kSampleRate / 1000.0;
    const double vibratoDelay = shape.vibratoDelayMs * kSampleRate / 1000.0;
    const double vibratoRamp = 0.3 * kSampleRate;
    const double decayPerFrame = std::exp(-shape.decayPerSecond / kSampleRate);
    const double step = tone.hz / kSampleRate;
    // The vibrato's sine turns as a unit phasor, one complex multiplication per frame.
    const double turnCos = std::cos(kTwoPi * shape.vibratoHz / kSampleRate);
    const double turnSin = std::sin(kTwoPi * shape.vibratoHz / kSampleRate);
    double vibratoCos = 1.0, vibratoSin = 0.0;
    double phase = 0.0;
    double level = tone.velocity;
    for (std::size_t i = first; i < end; ++i) {
        const double t = double(i - first);
        double envelope = level;
        if (t < attackFrames)
            envelope *= smoothRamp(t / attackFrames);
        if (i >= releaseAt)
            envelope *= 1.0 - smoothRamp(double(i - releaseAt) / releaseFrames);
        level *= decayPerFrame;
        out.add(i, envelope * table.at(phase));

        double swing = 0.0;
        if (shape.vibratoDepth > 0.0 && t > vibratoDelay) {
            swing = shape.vibratoDepth * smoothRamp((t - vibratoDelay) / vibratoRamp) * vibratoSin;
            const double c = vibratoCos * turnCos - vibratoSin * turnSin;
            vibratoSin = vibratoSin * turnCos + vibratoCos * turnSin;
            vibratoCos = c;
        }
        phase += step * (1.0 + swing);
        phase -= std::floor(phase);
    }
}

} // namespace cantorix::assets::demo
