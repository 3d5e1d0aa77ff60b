#pragma once
// Where a phone's sound goes in the capture: sample i of the timeline is the one captured at
// origin + i / 44100 s. Frames (already at 44100 Hz, each stamped with the time of its first
// sample) are placed there, waiting samples are handed out in order, and a stretch nothing came
// for is given out as silence once it is waitForLate old, so no later sample moves. It also keeps
// the session's count of frames for a mark. Values only: every time is passed in, measured from
// the origin; the caller serialises the calls.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cantorix::phones {

struct PlacingRules {
    // A frame this close to where the previous one ended continues it to the sample, so jitter
    // of the clock mapping never tears the sound; further off, it goes where its time says.
    std::chrono::nanoseconds snap{std::chrono::milliseconds{2}};
    // How long the timeline waits for a stretch before giving it out as silence.
    std::chrono::nanoseconds waitForLate{std::chrono::milliseconds{150}};
    // Frames stamped further ahead of the present than this are refused.
    std::chrono::nanoseconds furthestAhead{std::chrono::seconds{1}};
    // Samples held after the last one handed out; any beyond are dropped.
    std::size_t pendingCapacity = 3 * 44100;
};

class PhoneTimeline {
public:
    static constexpr std::int32_t kSampleRate = 44100;
    using Duration = std::chrono::nanoseconds;

    struct Placement {
        bool refused = false;
        bool continued = false;      // followed the previous frame to the sample
        std::size_t placed = 0;      // samples now waiting to be handed out
        std::size_t late = 0;        // samples for a stretch already handed out: dropped
        std::size_t tooFar = 0;      // samples beyond pendingCapacity: dropped
        std::int64_t firstIndex = 0; // where the frame's first sample went (not when refused)
    };

    explicit PhoneTimeline(const PlacingRules& rules);

    // The index of the sample captured at time, to the nearest sample (halves to even).
    static std::int64_t sampleAt(Duration time);
    // The time of sample index, to the nanosecond below.
    static Duration timeOf(std::int64_t index);

    bool tooFarAhead(Duration firstSampleTime, Duration now) const {
        return firstSampleTime - now > m_rules.furthestAhead;
    }
    // A frame whose first sample was captured at firstSampleTime.
    Placement place(Duration firstSampleTime, std::span<const std::int16_t> samples, Duration now);
    // The next frame starts a stream of its own: it goes where its time says.
    void breakContinuity() { m_previousEnd.reset(); }

    // The samples to hand out now, from the next one on: those placed without a gap, or, when the
    // next is more than waitForLate old, the stretch up to present − waitForLate with silence
    // where nothing came. Call consume() with what was handed out, and again until empty.
    std::span<const std::int16_t> due(Duration now) const;
    void consume(std::size_t count);
    // Samples handed out since the origin: the index of the next one.
    std::int64_t handedOut() const { return m_handedOut; }

    // The session's song clock: frames of it that lie before the next sample handed out, that
    // is the time from the start over to that sample less the pauses. None before a start over,
    // while paused and after silence().
    void startOver(Duration now);
    void pause(Duration now);
    void resume(Duration now);
    void silence();
    std::optional<std::int64_t> sessionFrames() const;

private:
    std::size_t slotOf(std::int64_t index) const;

    PlacingRules m_rules;
    std::vector<std::int16_t> m_samples; // a ring over [m_handedOut, + pendingCapacity)
    std::vector<std::uint8_t> m_filled;  // whether a frame put the ring's sample there
    std::int64_t m_handedOut = 0;
    std::optional<std::int64_t> m_previousEnd;

    std::optional<Duration> m_startedOver;
    std::optional<Duration> m_pausedSince;
    Duration m_pausedFor{0};
};

} // namespace cantorix::phones
