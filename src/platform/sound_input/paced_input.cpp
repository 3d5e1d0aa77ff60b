#include "paced_input.h"

#include <algorithm>
#include <array>

namespace cantorix::platform {

namespace {

constexpr std::uint64_t kMaxBurstFrames = CaptureHub::kSampleRate; // one second
// Of a longer stall, the last minute is still counted, as silence; anything before it is gone.
constexpr std::uint64_t kMaxCountedFrames = 60 * CaptureHub::kSampleRate;
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
    : FramePacer(hub, std::make_unique<MemoryFrameSource>(std::move(samples)), playing) {}

FramePacer::FramePacer(CaptureHub& hub, std::unique_ptr<CaptureFrameSource> recording, bool playing,
                       int)
    : m_hub(hub), m_recording(std::move(recording)), m_playing(playing) {}

void FramePacer::schedule(Change change, std::chrono::nanoseconds elapsed) {
    m_scheduled.push_back({std::max(framesAt(elapsed), m_position), change});
}

void FramePacer::deliverDue(std::chrono::nanoseconds elapsed) {
    const std::uint64_t due = framesAt(elapsed);
    const std::uint64_t firstDelivered = due > kMaxBurstFrames ? due - kMaxBurstFrames : 0;
    const std::uint64_t firstCounted = due > kMaxCountedFrames ? due - kMaxCountedFrames : 0;
    while (m_position < due) {
        while (!m_scheduled.empty() && m_scheduled.front().frame <= m_position) {
            apply(m_scheduled.front().change);
            m_scheduled.pop_front();
        }
        std::uint64_t until = due;
        if (!m_scheduled.empty())
            until = std::min(until, m_scheduled.front().frame);
        if (m_position < firstCounted)
            until = std::min(until, firstCounted);
        else if (m_position < firstDelivered)
            until = std::min(until, firstDelivered);
        advance(until - m_position, m_position >= firstDelivered ? Delivery::Samples
                                    : m_position >= firstCounted ? Delivery::Silence
                                                                 : Delivery::None);
    }
}

void FramePacer::apply(Change change) {
    switch (change) {
    case Change::StartOver:
        m_recording->rewind();
        m_recordingEnded = false;
        m_heard = 0;
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

void FramePacer::advance(std::uint64_t count, Delivery delivery) {
    if (m_playing)
        m_heard += count;
    const bool deliver = delivery == Delivery::Samples;
    if (delivery == Delivery::None && !(m_playing && !m_recordingEnded)) {
        m_position += count;
        return;
    }
    std::array<std::int16_t, kChunkFrames> frames;
    while (count > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kChunkFrames));
        std::size_t played = 0;
        if (m_playing && !m_recordingEnded) {
            // Skipped frames are read too: the recording moves on with the time lost.
            played = m_recording->read(frames.data(), n);
            m_recordingEnded = played < n;
        }
        if (deliver && played > 0)
            m_hub.deliver(frames.data(), played);
        // The samples of a stall beyond the last second are heard as silence in their place, so
        // that the count of frames keeps the recording's time.
        const std::size_t silent = deliver ? n - played : n;
        if (delivery != Delivery::None && silent > 0)
            m_hub.deliver(kSilence.data(), silent);
        m_position += n;
        count -= n;
    }
}

PacedInput::PacedInput(CaptureHub& hub, std::vector<std::int16_t> samples, std::string description,
                       bool playing)
    : PacedInput(hub, std::make_unique<MemoryFrameSource>(std::move(samples)),
                 std::move(description), playing) {}

PacedInput::PacedInput(CaptureHub& hub, std::unique_ptr<CaptureFrameSource> recording,
                       std::string description, bool playing, int)
    : m_pacer(hub, std::move(recording), playing), m_description(std::move(description)),
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

std::optional<session::RecordingMark>
PacedInput::markRecording(const std::function<std::int64_t()>& capturedNow) {
    std::lock_guard lock(m_mutex);
    const std::optional<std::uint64_t> heard = m_pacer.heardFrames();
    if (!heard)
        return std::nullopt;
    return session::RecordingMark{capturedNow(), static_cast<std::int64_t>(*heard)};
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
