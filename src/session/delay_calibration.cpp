#include "delay_calibration.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cantorix::session {

namespace {

constexpr int kClicks = 5;
constexpr double kLeadMs = 300;    // quiet before the first click
constexpr double kSpacingMs = 650; // more than the longest delay plus a click
constexpr double kTailMs = 1000;   // the last click's way back, and the output's own latency
constexpr double kClickMs = 8;
constexpr double kLowHz = 1500, kHighHz = 6000; // well inside what small speakers and mics pass
constexpr float kClickLevel = 0.6f;
constexpr double kEarlyMs = 20; // clocks of output and capture agree only this closely
// A click stands out when its correlation peak is this many times the window's median: noise
// alone peaks at about seven times its median over a window this long.
constexpr double kStandOut = 20;
// And it must be louder than this (−60 dBFS) at all: digital silence never holds a click.
constexpr double kLeastLevel = 1e-3;

std::size_t framesOf(double ms, int rate) {
    return static_cast<std::size_t>(std::llround(ms / 1000.0 * rate));
}

// One click: a rising chirp under a Hann window, so its correlation has one narrow peak.
std::vector<float> clickWave(int rate) {
    const std::size_t n = std::max<std::size_t>(2, framesOf(kClickMs, rate));
    const double duration = static_cast<double>(n) / rate;
    std::vector<float> wave(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double phase =
            2 * std::numbers::pi * (kLowHz * t + (kHighHz - kLowHz) * t * t / (2 * duration));
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) /
                                                   static_cast<double>(n - 1));
        wave[i] = static_cast<float>(kClickLevel * window * std::sin(phase));
    }
    return wave;
}

// Where in the captured samples the click best lines up within [from, to), if it stands out.
std::optional<std::size_t> findClick(const std::vector<std::int16_t>& captured,
                                     const std::vector<float>& click, std::size_t from,
                                     std::size_t to) {
    if (captured.size() < click.size())
        return std::nullopt;
    to = std::min(to, captured.size() - click.size() + 1);
    if (from >= to)
        return std::nullopt;
    double energy = 0;
    for (float c : click)
        energy += double{c} * c;
    std::vector<double> score(to - from);
    for (std::size_t i = from; i < to; ++i) {
        double sum = 0;
        for (std::size_t j = 0; j < click.size(); ++j)
            sum += captured[i + j] / 32768.0 * click[j];
        score[i - from] = std::fabs(sum);
    }
    const auto peak = std::max_element(score.begin(), score.end());
    const double best = *peak;
    const std::size_t at = from + static_cast<std::size_t>(peak - score.begin());
    std::nth_element(score.begin(), score.begin() + static_cast<std::ptrdiff_t>(score.size() / 2),
                     score.end());
    const double median = score[score.size() / 2];
    if (best <= kStandOut * median || best <= kLeastLevel * energy)
        return std::nullopt;
    return at;
}

} // namespace

ClickSignal makeClickSignal(int sampleRate) {
    ClickSignal signal;
    signal.sampleRate = sampleRate;
    const std::vector<float> click = clickWave(sampleRate);
    const std::size_t length =
        framesOf(kLeadMs + (kClicks - 1) * kSpacingMs + kTailMs, sampleRate) + click.size();
    signal.samples.assign(length, 0.0f);
    for (int k = 0; k < kClicks; ++k) {
        const std::size_t start = framesOf(kLeadMs + k * kSpacingMs, sampleRate);
        std::copy(click.begin(), click.end(),
                  signal.samples.begin() + static_cast<std::ptrdiff_t>(start));
        signal.clickStarts.push_back(start);
    }
    return signal;
}

std::optional<double> measureClickDelay(const ClickSignal& signal,
                                        const ClickRoundRecording& recording) {
    if (signal.sampleRate <= 0 || recording.sampleRate <= 0 || signal.clickStarts.empty())
        return std::nullopt;
    const int rate = recording.sampleRate;
    const std::vector<float> click = clickWave(rate);
    std::vector<double> delays;
    for (std::size_t start : signal.clickStarts) {
        const double leaves =
            recording.signalHeardAt + static_cast<double>(start) / signal.sampleRate;
        const double expected = (leaves - recording.firstCapturedAt) * rate;
        const double from = expected - kEarlyMs / 1000.0 * rate;
        const double to = expected + kLongestDelayMs / 1000.0 * rate;
        if (to <= 0)
            continue;
        const auto found =
            findClick(recording.captured, click, static_cast<std::size_t>(std::max(0.0, from)),
                      static_cast<std::size_t>(to));
        if (!found)
            continue;
        const double arrives = recording.firstCapturedAt + static_cast<double>(*found) / rate;
        delays.push_back((arrives - leaves) * 1000.0);
    }
    // One click found may be a knock on the desk; most of them are the clicks.
    if (delays.size() * 2 <= signal.clickStarts.size())
        return std::nullopt;
    std::sort(delays.begin(), delays.end());
    const std::size_t mid = delays.size() / 2;
    return delays.size() % 2 ? delays[mid] : (delays[mid - 1] + delays[mid]) / 2;
}

void DelayCalibration::start() {
    m_signal = makeClickSignal();
    m_player.start(m_signal.samples, m_signal.sampleRate);
    m_running = true;
}

bool DelayCalibration::step() {
    if (!m_running)
        return true;
    m_player.collect();
    return m_player.played();
}

std::optional<double> DelayCalibration::finish() {
    if (!m_running)
        return std::nullopt;
    m_running = false;
    return measureClickDelay(m_signal, m_player.finish());
}

} // namespace cantorix::session
