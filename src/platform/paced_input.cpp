#include "paced_input.h"

#include <algorithm>
#include <array>

namespace cantorix::platform {

namespace {

constexpr std::uint64_t kMaxBurstFrames = CaptureHub::kSampleRate; // one second
constexpr std::size_t kChunkFrames = 1024;
constexpr std::chrono::milliseconds kTick{10};

const std::array<std::int16_t, kChunkFrames> kSilence{};

std::uint64_t framesAt(std::chrono::nanoseconds elapsed) {
    if (elapsed.count() <= 0)
        return 0;
    const auto nanos = static_cast<std::uint64_t>(elapsed.count());
    // Split the product so that even weeks of uptime cannot overflow it.
    const std::uint64_t seconds = nanos / 1'000'000'000;
    const std::uint64_t rest = nanos % 1'000'000'000;
    return seconds * CaptureHub::kSampleRate + rest * CaptureHub::kSampleRate / 1'000'000'000;
}

} // namespace

FramePacer::FramePacer(CaptureHub& hub, std::vector<std::int16_t> samples, bool playing)
    : m_hub(hub), m_samples(std::move(samples)), m_playing(playing) {}

void FramePacer::schedule(Change change, std::chrono::nanoseconds elapsed) {
    m_scheduled.push_back({std::max(framesAt(elapsed), m_position), change});
}

void FramePacer::deliverDue(std::chrono::nanoseconds elapsed) {
    const std::uint64_t due = framesAt(elapsed);
    const std::uint64_t firstDelivered = due > kMaxBurstFrames ? due - kMaxBurstFrames : 0;
    while (m_position < due) {
        while (!m_scheduled.empty() && m_scheduled.front().frame <= m_position) {
            apply(m_scheduled.front().change);
            m_scheduled.pop_front();
        }
        std::uint64_t until = due;
        if (!m_scheduled.empty())
            until = std::min(until, m_scheduled.front().frame);
        if (m_position < firstDelivered)
            until = std::min(until, firstDelivered);
        advance(until - m_position, m_position >= firstDelivered);
    }
}

void FramePacer::apply(Change change) {
    switch (change) {
    case Change::StartOver:
        m_cursor = 0;
        m_playing = true;
        m_paused = false;
        break;
    case Change::Pause:
        m_paused = m_playing;
        m_playing = false;
        break;
    case Change::Resume:
        m_playing = m_playing || m_paused;
        m_paused = false;
        break;
    case Change::Silence:
        m_playing = m_paused = false;
        break;
    }
}

void FramePacer::advance(std::uint64_t count, bool deliver) {
    if (!deliver) {
        if (m_playing)
            m_cursor += static_cast<std::size_t>(
                std::min<std::uint64_t>(count, m_samples.size() - std::min(m_cursor, m_samples.size())));
        m_position += count;
        return;
    }
    while (count > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kChunkFrames));
        const std::int16_t* frames = kSilence.data();
        if (m_playing && m_cursor < m_samples.size()) {
            n = std::min(n, m_samples.size() - m_cursor);
            frames = m_samples.data() + m_cursor;
            m_cursor += n;
        }
        m_hub.deliver(frames, n);
        m_position += n;
        count -= n;
    }
}

PacedInput::PacedInput(CaptureHub& hub, std::vector<std::int16_t> samples, std::string description,
                       bool playing)
    : m_pacer(hub, std::move(samples), playing), m_description(std::move(description)),
      m_start(std::chrono::steady_clock::now()), m_thread([this] { run(); }) {}

PacedInput::~PacedInput() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void PacedInput::control(FramePacer::Change change) {
    std::lock_guard lock(m_mutex);
    m_pacer.schedule(change, std::chrono::steady_clock::now() - m_start);
}

void PacedInput::run() {
    auto next = m_start;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // After a stall, pace from now rather than racing through the missed ticks.
        next = std::max(next + kTick, std::chrono::steady_clock::now());
        if (m_wake.wait_until(lock, next, [this] { return m_stopping; }))
            return;
        m_pacer.deliverDue(std::chrono::steady_clock::now() - m_start);
    }
}

} // namespace cantorix::platform
