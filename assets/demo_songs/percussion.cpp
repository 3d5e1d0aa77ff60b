#include "percussion.h"

#include <cmath>
#include <numbers>

namespace cantorix::assets::demo {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::size_t framesOf(double ms) {
    return static_cast<std::size_t>(ms * kSampleRate / 1000.0);
}

} // namespace

double Percussion::noise() {
    m_noise ^= m_noise << 13;
    m_noise ^= m_noise >> 17;
    m_noise ^= m_noise << 5;
    return double(m_noise & 0xffffff) / double(0x800000) - 1.0;
}

// A sine falling from 120 to 48 Hz: felt more than heard, it marks the bar without a click.
void Percussion::kick(double startMs, double velocity) {
    Output out(m_mix, {0.5 * velocity, 0.0, 0.05});
    const std::size_t first = frameAt(startMs);
    const std::size_t count = framesOf(260.0);
    double phase = 0.0;
    for (std::size_t n = 0; n < count && first + n < out.frames(); ++n) {
        const double t = double(n) / kSampleRate;
        const double hz = 48.0 + 72.0 * std::exp(-t * 30.0);
        const double attack = std::min(1.0, double(n) / 60.0);
        out.add(first + n, attack * std::exp(-t * 14.0) * std::sin(phase));
        phase += kTwoPi * hz / kSampleRate;
    }
}

// High-passed noise with a quick swell and decay, slightly right of centre.
void Percussion::shaker(double startMs, double velocity) {
    Output out(m_mix, {0.05 * velocity, 0.35, 0.2});
    const std::size_t first = frameAt(startMs);
    const std::size_t count = framesOf(90.0);
    double previous = 0.0;
    for (std::size_t n = 0; n < count && first + n < out.frames(); ++n) {
        const double t = double(n) / kSampleRate;
        const double white = noise();
        const double envelope = (1.0 - std::exp(-t * 400.0)) * std::exp(-t * 45.0);
        out.add(first + n, envelope * (white - previous));
        previous = white;
    }
}

// Band-limited noise over a short 185 Hz body, like a brush on a snare.
void Percussion::snare(double startMs, double velocity) {
    Output out(m_mix, {0.12 * velocity, -0.15, 0.35});
    const std::size_t first = frameAt(startMs);
    const std::size_t count = framesOf(220.0);
    double low = 0.0;
    for (std::size_t n = 0; n < count && first + n < out.frames(); ++n) {
        const double t = double(n) / kSampleRate;
        low += 0.35 * (noise() - low);
        const double body = 0.5 * std::sin(kTwoPi * 185.0 * t) * std::exp(-t * 40.0);
        const double attack = std::min(1.0, double(n) / 40.0);
        out.add(first + n, attack * (low * std::exp(-t * 18.0) + body));
    }
}

} // namespace cantorix::assets::demo
