#include "paced_input.h"

#include <algorithm>
#include <array>

namespace cantorix::platform {

namespace {

constexpr std::uint64_t kMaxBurstFrames = CaptureHub::kSampleRate; // one second
constexpr std::size_t kChunkFrames = 1024;
constexpr std::chrono::milliseconds kTick{10};

const std::array<std::int16_t, kChunkFrames> kSilence{};

} // namespace

FramePacer::FramePacer(CaptureHub& hub, std::vector<std::int16_t> samples)
    : m_hub(hub), m_samples(std::move(samples)) {}

void FramePacer::deliverDue(std::chrono::nanoseconds elapsed) {
    if (elapsed.count() <= 0)
        return;
    const auto nanos = static_cast<std::uint64_t>(elapsed.count());
    // Split the product so that even weeks of uptime cannot overflow it.
    const std::uint64_t seconds = nanos / 1'000'000'000;
    const std::uint64_t rest = nanos % 1'000'000'000;
    const std::uint64_t due =
        seconds * CaptureHub::kSampleRate + rest * CaptureHub::kSampleRate / 1'000'000'000;
    if (due <= m_position)
        return;
    if (due - m_position > kMaxBurstFrames)
        m_position = due - kMaxBurstFrames;
    deliver(due - m_position);
}

void FramePacer::deliver(std::uint64_t count) {
    while (count > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kChunkFrames));
        const std::int16_t* frames = kSilence.data();
        if (m_position < m_samples.size()) {
            const auto at = static_cast<std::size_t>(m_position);
            n = std::min(n, m_samples.size() - at);
            frames = m_samples.data() + at;
        }
        m_hub.deliver(frames, n);
        m_position += n;
        count -= n;
    }
}

PacedInput::PacedInput(CaptureHub& hub, std::vector<std::int16_t> samples, std::string description)
    : m_pacer(hub, std::move(samples)), m_description(std::move(description)),
      m_thread([this] { run(); }) {}

PacedInput::~PacedInput() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void PacedInput::run() {
    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // After a stall, pace from now rather than racing through the missed ticks.
        next = std::max(next + kTick, std::chrono::steady_clock::now());
        if (m_wake.wait_until(lock, next, [this] { return m_stopping; }))
            return;
        m_pacer.deliverDue(std::chrono::steady_clock::now() - start);
    }
}

} // namespace cantorix::platform
