#pragma once
// Test double for the click player: what is played comes back into the capture after a known
// delay, at a chosen level, over steady noise, with the two sides on an arbitrary common clock.
// The capture arrives in blocks as collect() is called. Main thread only.

#include "session/click_player_port.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace cantorix::session::testing {

class LoopbackClickPlayer : public ClickPlayer {
public:
    LoopbackClickPlayer(double delayMs, float gain, float noiseRms, unsigned seed = 1)
        : m_delayMs(delayMs), m_gain(gain), m_noiseRms(noiseRms), m_random(seed) {}

    void start(const std::vector<float>& signal, int sampleRate) override {
        m_rate = sampleRate;
        const auto delay = static_cast<std::size_t>(std::llround(m_delayMs / 1000.0 * sampleRate));
        const std::size_t lead = static_cast<std::size_t>(kListenLeadSeconds * sampleRate);
        std::vector<double> heard(lead + delay + signal.size(), 0.0);
        for (std::size_t i = 0; i < signal.size(); ++i)
            heard[lead + delay + i] = m_gain * signal[i];
        std::normal_distribution<double> noise(0.0, m_noiseRms);
        m_all.clear();
        for (double v : heard) {
            const double s = std::clamp((v + (m_noiseRms > 0 ? noise(m_random) : 0.0)) * 32767.0,
                                        -32768.0, 32767.0);
            m_all.push_back(static_cast<std::int16_t>(std::lround(s)));
        }
        m_delivered = 0;
        ++starts;
    }
    void collect() override {
        m_delivered = std::min(m_all.size(), m_delivered + static_cast<std::size_t>(m_rate / 20));
    }
    bool played() const override { return m_delivered == m_all.size(); }
    ClickRoundRecording finish() override {
        ClickRoundRecording r;
        r.sampleRate = m_rate;
        r.signalHeardAt = kHeardAt;
        r.firstCapturedAt = kHeardAt - kListenLeadSeconds;
        r.captured.assign(m_all.begin(), m_all.begin() + static_cast<std::ptrdiff_t>(m_delivered));
        ++finishes;
        return r;
    }

    int starts = 0, finishes = 0;

private:
    static constexpr double kHeardAt = 8123.25; // any clock reading will do
    static constexpr double kListenLeadSeconds = 0.2;

    double m_delayMs;
    float m_gain, m_noiseRms;
    std::mt19937 m_random;
    int m_rate = 44100;
    std::vector<std::int16_t> m_all;
    std::size_t m_delivered = 0;
};

} // namespace cantorix::session::testing
