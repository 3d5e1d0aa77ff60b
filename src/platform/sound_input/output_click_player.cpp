#include "output_click_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace cantorix::platform {

namespace {

constexpr double kListenSeconds = 8; // room in the queue well beyond one round

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The signal at the stream's rate, when the device would not take the signal's own.
std::vector<float> resampled(const std::vector<float>& signal, int from, int to) {
    if (from == to || from <= 0 || to <= 0)
        return signal;
    const auto n = static_cast<std::size_t>(static_cast<double>(signal.size()) * to / from);
    std::vector<float> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double at = static_cast<double>(i) * from / to;
        const auto k = static_cast<std::size_t>(at);
        const double frac = at - static_cast<double>(k);
        const float a = k < signal.size() ? signal[k] : 0.0f;
        const float b = k + 1 < signal.size() ? signal[k + 1] : 0.0f;
        out[i] = static_cast<float>(a + (b - a) * frac);
    }
    return out;
}

} // namespace

void OutputClickPlayer::Source::render(float* out, std::size_t frames) noexcept {
    double expected = -1.0;
    firstRenderAt.compare_exchange_strong(expected, steadySeconds(), std::memory_order_acq_rel);
    const std::size_t from = position.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < frames; ++i) {
        const float v = from + i < samples.size() ? samples[from + i] : 0.0f;
        for (int c = 0; c < kOutputChannels; ++c)
            out[i * kOutputChannels + static_cast<std::size_t>(c)] = v;
    }
    position.store(from + frames, std::memory_order_release);
}

OutputClickPlayer::OutputClickPlayer(AudioOutput& output, CaptureService& capture)
    : m_output(output), m_capture(capture) {}

OutputClickPlayer::~OutputClickPlayer() {
    stop();
}

void OutputClickPlayer::stop() {
    if (m_stream)
        m_stream->stop();
    m_stream.reset();
    m_listening.reset();
}

void OutputClickPlayer::start(const std::vector<float>& signal, int sampleRate) {
    stop();
    m_captured.clear();
    m_source.position.store(0);
    m_source.firstRenderAt.store(-1.0);
    m_stream = m_output.openStream(sampleRate, m_source);
    m_streamRate = m_stream->sampleRate();
    // The source is not running yet: its samples may still change.
    m_source.samples = resampled(signal, sampleRate, m_streamRate);
    m_listening =
        m_capture.subscribe(static_cast<std::size_t>(kListenSeconds * CaptureHub::kSampleRate));
    m_listenStartedAt = steadySeconds();
    m_firstCapturedAt = std::numeric_limits<double>::infinity();
    m_stream->start();
}

void OutputClickPlayer::collect() {
    if (!m_listening)
        return;
    std::int16_t block[4096];
    while (const std::size_t n = m_listening->read(block, std::size(block)))
        m_captured.insert(m_captured.end(), block, block + n);
    if (m_captured.empty())
        return;
    // The newest frame reached us no later than now, and the frames before it came at the
    // capture's rate: the earliest such bound places the whole capture on the clock.
    const double now = steadySeconds();
    const double bound = now - static_cast<double>(m_captured.size()) / CaptureHub::kSampleRate;
    m_firstCapturedAt = std::min(m_firstCapturedAt, std::max(bound, m_listenStartedAt));
}

bool OutputClickPlayer::played() const {
    return !m_stream ||
           m_source.position.load(std::memory_order_acquire) >= m_source.samples.size();
}

session::ClickRoundRecording OutputClickPlayer::finish() {
    collect();
    session::ClickRoundRecording round;
    const double rendered = m_source.firstRenderAt.load(std::memory_order_acquire);
    const double latency = m_stream && m_streamRate > 0
                               ? static_cast<double>(m_stream->latencyFrames()) / m_streamRate
                               : 0.0;
    round.signalHeardAt = (rendered >= 0 ? rendered : m_listenStartedAt) + latency;
    round.sampleRate = CaptureHub::kSampleRate;
    round.captured = std::move(m_captured);
    round.firstCapturedAt =
        std::isfinite(m_firstCapturedAt) ? m_firstCapturedAt : m_listenStartedAt;
    stop();
    m_captured.clear();
    return round;
}

} // namespace cantorix::platform
