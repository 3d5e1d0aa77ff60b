// A phone seat's sound: the server's thread converts each frame to 44100 Hz and places it on the
// seat's timeline; the pacing thread hands the timeline's samples to the hub. soxr gives out
// each converted sample later than its input came in, but in step with it (output sample k is
// input position k × rate / 44100), so every converted sample is dated from the frame it came
// from, never from when it came out.
#include "phone_input.h"

#include "phones/phone_timeline.h"
#include "platform/sound_input/resampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace cantorix::platform {

namespace {

using phones::PhoneTimeline;
using Duration = PhoneTimeline::Duration;

constexpr int kLowestRate = 8000;
constexpr int kHighestRate = 96000;
constexpr std::int64_t kOutputRate = CaptureHub::kSampleRate;
// How often the pacing thread looks whether a stretch is overdue, when no frame wakes it.
constexpr std::chrono::milliseconds kTick{5};
constexpr std::size_t kLevelWindow = CaptureHub::kSampleRate / 20; // 50 ms
// Times further than this from the origin are held there: no frame is stamped a year away, and
// the arithmetic on them stays far from overflowing.
constexpr Duration kFarthestTime = std::chrono::hours{24 * 365};

std::int64_t ceilDiv(std::int64_t value, std::int64_t divisor) {
    return (value + divisor - 1) / divisor;
}

// A frame fed to the converter: where it starts among the stream's input samples, and when.
struct FedFrame {
    std::int64_t firstInput;
    std::int64_t count;
    Duration time;
};

struct Stream {
    explicit Stream(int sampleRate)
        : rate(sampleRate),
          resampler(sampleRate, static_cast<double>(kOutputRate), MonoResampler::Input::Int16) {}

    std::int64_t rate;
    MonoResampler resampler;
    std::deque<FedFrame> fed; // the frames whose converted samples are not all out yet
    std::int64_t inputSamples = 0;
    std::int64_t outputSamples = 0;
};

} // namespace

struct PhoneInput::State {
    State(CaptureHub& captureHub, std::string name)
        : hub(captureHub), description(std::move(name)), origin(Clock::now()),
          timeline(
              phones::PlacingRules{.waitForLate = kWaitForLate, .furthestAhead = kFurthestAhead}) {}

    Duration sinceOrigin(Clock::time_point time) const {
        const std::int64_t t = time.time_since_epoch().count();
        const std::int64_t o = origin.time_since_epoch().count();
        std::int64_t difference = 0;
        if (__builtin_sub_overflow(t, o, &difference))
            return t < o ? -kFarthestTime : kFarthestTime;
        return std::clamp(Duration{difference}, -kFarthestTime, kFarthestTime);
    }

    // When the song last started over; guarded by mutex.
    std::optional<Clock::time_point> startedOver;

    void placeConverted(Duration now);
    void finishStream();
    void run();
    void handOutDue();
    void measureLevel(std::span<const std::int16_t> samples);

    CaptureHub& hub;
    const std::string description;
    const Clock::time_point origin;

    // The stream being converted: the server's thread, under streamMutex (taken before mutex).
    std::mutex streamMutex;
    std::optional<Stream> stream;
    std::vector<std::int16_t> converted;

    // The timeline, shared by the server's thread, the pacing thread and the main thread. The
    // pacing thread holds it while it hands samples to the hub, so a mark sees the two agree.
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool placedSome = false;
    PhoneTimeline timeline;

    // The pacing thread's alone.
    double levelSquares = 0;
    std::size_t levelCount = 0;

    std::atomic<float> level{0.0f};
    std::atomic<std::uint64_t> lateSamples{0};
    std::atomic<std::uint64_t> refusedFrames{0};
    std::thread pacing; // last: started once everything it reads is made
};

void PhoneInput::State::placeConverted(Duration now) {
    const std::int64_t outFirst = stream->outputSamples;
    const std::int64_t outEnd = outFirst + static_cast<std::int64_t>(converted.size());
    stream->outputSamples = outEnd;
    std::uint64_t late = 0;
    {
        std::lock_guard lock(mutex);
        while (!stream->fed.empty()) {
            const FedFrame& frame = stream->fed.front();
            const std::int64_t frameOutFirst =
                ceilDiv(frame.firstInput * kOutputRate, stream->rate);
            const std::int64_t frameOutEnd =
                ceilDiv((frame.firstInput + frame.count) * kOutputRate, stream->rate);
            const std::int64_t first = std::max(frameOutFirst, outFirst);
            const std::int64_t end = std::min(frameOutEnd, outEnd);
            if (first < end) {
                // The input position of the piece's first sample, in 1 / (rate × 44100) s past
                // the frame's first sample.
                const auto offset =
                    static_cast<double>(first * stream->rate - frame.firstInput * kOutputRate);
                const Duration time =
                    frame.time +
                    Duration{std::llround(offset * 1e9 /
                                          static_cast<double>(stream->rate * kOutputRate))};
                const auto placement =
                    timeline.place(time,
                                   std::span<const std::int16_t>(converted).subspan(
                                       static_cast<std::size_t>(first - outFirst),
                                       static_cast<std::size_t>(end - first)),
                                   now);
                // Samples beyond what the timeline holds, or the end of a frame long enough to
                // reach past kFurthestAhead, are lost as surely as late ones, and counted so.
                late += placement.late + placement.tooFar +
                        (placement.refused ? static_cast<std::uint64_t>(end - first) : 0);
                placedSome = placedSome || placement.placed > 0;
            }
            if (frameOutEnd > outEnd)
                break;
            stream->fed.pop_front();
        }
    }
    lateSamples.fetch_add(late, std::memory_order_relaxed);
    wake.notify_one();
}

void PhoneInput::State::finishStream() {
    if (stream) {
        converted.clear();
        try {
            // The tail the filter still holds is the end of the phone's last frame.
            stream->resampler.flush(converted);
            placeConverted(sinceOrigin(Clock::now()));
        } catch (const std::exception&) {
            // The tail is lost; the timeline gives its stretch out as silence.
        }
        stream.reset();
    }
    std::lock_guard lock(mutex);
    timeline.breakContinuity();
}

void PhoneInput::State::measureLevel(std::span<const std::int16_t> samples) {
    for (const std::int16_t sample : samples) {
        const double value = sample / 32768.0;
        levelSquares += value * value;
        if (++levelCount == kLevelWindow) {
            level.store(static_cast<float>(std::sqrt(levelSquares / kLevelWindow)),
                        std::memory_order_relaxed);
            levelSquares = 0;
            levelCount = 0;
        }
    }
}

void PhoneInput::State::handOutDue() {
    const Duration now = sinceOrigin(Clock::now());
    for (;;) {
        const std::span<const std::int16_t> due = timeline.due(now);
        if (due.empty())
            return;
        hub.deliver(due.data(), due.size());
        measureLevel(due);
        timeline.consume(due.size());
    }
}

void PhoneInput::State::run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        handOutDue();
        placedSome = false;
        wake.wait_for(lock, kTick, [this] { return stopping || placedSome; });
    }
}

PhoneInput::PhoneInput(CaptureHub& hub, std::string description)
    : m_state(std::make_unique<State>(hub, std::move(description))) {
    m_state->pacing = std::thread([state = m_state.get()] { state->run(); });
}

PhoneInput::~PhoneInput() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    m_state->wake.notify_all();
    m_state->pacing.join();
}

std::string PhoneInput::describe() const {
    return m_state->description;
}

void PhoneInput::beginStream(int sampleRate) {
    State& state = *m_state;
    std::lock_guard streamLock(state.streamMutex);
    state.finishStream();
    // A rate out of range begins nothing: the stream's frames are refused, and counted so.
    if (sampleRate < kLowestRate || sampleRate > kHighestRate)
        return;
    try {
        state.stream.emplace(sampleRate);
    } catch (const std::exception&) {
        state.stream.reset();
    }
}

bool PhoneInput::write(Clock::time_point firstSampleTime, std::span<const std::int16_t> samples) {
    State& state = *m_state;
    std::lock_guard streamLock(state.streamMutex);
    const Duration now = state.sinceOrigin(Clock::now());
    const Duration first = state.sinceOrigin(firstSampleTime);
    if (!state.stream || state.timeline.tooFarAhead(first, now)) {
        state.refusedFrames.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    Stream& stream = *state.stream;
    const auto count = static_cast<std::int64_t>(samples.size());
    stream.fed.push_back({stream.inputSamples, count, first});
    stream.inputSamples += count;
    state.converted.clear();
    try {
        stream.resampler.process(samples.data(), samples.size(), state.converted);
    } catch (const std::exception&) {
        // The converter is in no state to go on: the stream ends here, as if the phone had left.
        state.stream.reset();
        std::lock_guard lock(state.mutex);
        state.timeline.breakContinuity();
        return true;
    }
    state.placeConverted(now);
    return true;
}

void PhoneInput::endStream() {
    std::lock_guard streamLock(m_state->streamMutex);
    m_state->finishStream();
}

float PhoneInput::level() const {
    return m_state->level.load(std::memory_order_relaxed);
}

std::uint64_t PhoneInput::lateSamples() const {
    return m_state->lateSamples.load(std::memory_order_relaxed);
}

std::uint64_t PhoneInput::refusedFrames() const {
    return m_state->refusedFrames.load(std::memory_order_relaxed);
}

void PhoneInput::startOver() {
    std::lock_guard lock(m_state->mutex);
    const Clock::time_point now = Clock::now();
    m_state->startedOver = now;
    m_state->timeline.startOver(m_state->sinceOrigin(now));
}

std::optional<PhoneInput::Clock::time_point> PhoneInput::startedOverAt() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->startedOver;
}

void PhoneInput::pause() {
    std::lock_guard lock(m_state->mutex);
    m_state->timeline.pause(m_state->sinceOrigin(Clock::now()));
}

void PhoneInput::resume() {
    std::lock_guard lock(m_state->mutex);
    m_state->timeline.resume(m_state->sinceOrigin(Clock::now()));
}

void PhoneInput::silence() {
    std::lock_guard lock(m_state->mutex);
    m_state->startedOver.reset();
    m_state->timeline.silence();
}

std::optional<session::RecordingMark>
PhoneInput::mark(const std::function<std::int64_t()>& capturedNow) {
    std::lock_guard lock(m_state->mutex);
    const std::optional<std::int64_t> frames = m_state->timeline.sessionFrames();
    if (!frames)
        return std::nullopt;
    return session::RecordingMark{capturedNow(), *frames};
}

} // namespace cantorix::platform
