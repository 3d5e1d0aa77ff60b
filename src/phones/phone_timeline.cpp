// Placing a phone's sound on the capture's timeline: a ring of the samples waiting to be handed
// out, with a mark of which a frame filled, so that a gap stays silence and never closes up.
#include "phone_timeline.h"

#include <algorithm>

namespace cantorix::phones {

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

// Floor division: times before the origin belong to the second below, not the one above.
std::int64_t floorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

} // namespace

PhoneTimeline::PhoneTimeline(const PlacingRules& rules)
    : m_rules(rules), m_samples(std::max<std::size_t>(rules.pendingCapacity, 1), 0),
      m_filled(m_samples.size(), 0) {
    m_rules.pendingCapacity = m_samples.size();
}

std::int64_t PhoneTimeline::sampleAt(Duration time) {
    // Seconds and the rest apart, so that no product can overflow however long the game runs.
    const std::int64_t seconds = floorDiv(time.count(), kNanosPerSecond);
    const std::int64_t rest = (time.count() - seconds * kNanosPerSecond) * kSampleRate;
    std::int64_t index = seconds * kSampleRate + rest / kNanosPerSecond;
    const std::int64_t remainder = rest % kNanosPerSecond;
    // Halves to even: a whole second is an even count of samples, so the parity is the rest's.
    if (2 * remainder > kNanosPerSecond || (2 * remainder == kNanosPerSecond && index % 2 != 0))
        ++index;
    return index;
}

PhoneTimeline::Duration PhoneTimeline::timeOf(std::int64_t index) {
    const std::int64_t seconds = floorDiv(index, kSampleRate);
    const std::int64_t rest = index - seconds * kSampleRate;
    return Duration{seconds * kNanosPerSecond + rest * kNanosPerSecond / kSampleRate};
}

std::size_t PhoneTimeline::slotOf(std::int64_t index) const {
    return static_cast<std::size_t>(index % static_cast<std::int64_t>(m_samples.size()));
}

PhoneTimeline::Placement PhoneTimeline::place(Duration firstSampleTime,
                                              std::span<const std::int16_t> samples, Duration now) {
    Placement placement;
    if (tooFarAhead(firstSampleTime, now)) {
        placement.refused = true;
        return placement;
    }
    std::int64_t start = sampleAt(firstSampleTime);
    if (m_previousEnd) {
        const Duration offBy = firstSampleTime - timeOf(*m_previousEnd);
        if (offBy <= m_rules.snap && -offBy <= m_rules.snap) {
            start = *m_previousEnd;
            placement.continued = true;
        }
    }
    const auto count = static_cast<std::int64_t>(samples.size());
    placement.firstIndex = start;
    m_previousEnd = start + count;

    // Before the next sample to hand out: that stretch is gone, whatever came for it.
    const std::int64_t lateCount = std::clamp<std::int64_t>(m_handedOut - start, 0, count);
    const std::int64_t reach = m_handedOut + static_cast<std::int64_t>(m_samples.size());
    // A phone's frames come in order over its one connection, so nothing will ever come for a
    // hole before this frame: it is silence now, rather than a stall of waitForLate for every
    // sample after it.
    for (std::int64_t index = m_handedOut; index < std::min(start, reach); ++index) {
        const std::size_t slot = slotOf(index);
        if (m_filled[slot] == 0) {
            m_samples[slot] = 0;
            m_filled[slot] = 1;
        }
    }
    const std::int64_t keptEnd = std::clamp<std::int64_t>(reach - start, lateCount, count);
    for (std::int64_t i = lateCount; i < keptEnd; ++i) {
        const std::size_t slot = slotOf(start + i);
        m_samples[slot] = samples[static_cast<std::size_t>(i)];
        m_filled[slot] = 1;
    }
    placement.late = static_cast<std::size_t>(lateCount);
    placement.placed = static_cast<std::size_t>(keptEnd - lateCount);
    placement.tooFar = static_cast<std::size_t>(count - keptEnd);
    return placement;
}

std::span<const std::int16_t> PhoneTimeline::due(Duration now) const {
    const std::size_t first = slotOf(m_handedOut);
    const std::size_t toRingEnd = m_samples.size() - first;
    if (m_filled[first] != 0) {
        const auto unfilled =
            std::find(m_filled.begin() + static_cast<std::ptrdiff_t>(first), m_filled.end(), 0);
        const auto run = static_cast<std::size_t>(
            unfilled - (m_filled.begin() + static_cast<std::ptrdiff_t>(first)));
        return {m_samples.data() + first, run};
    }
    const std::int64_t givenUpTo = sampleAt(now - m_rules.waitForLate);
    if (givenUpTo <= m_handedOut)
        return {};
    const auto overdue = static_cast<std::uint64_t>(givenUpTo - m_handedOut);
    return {m_samples.data() + first,
            static_cast<std::size_t>(std::min<std::uint64_t>(overdue, toRingEnd))};
}

void PhoneTimeline::consume(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t slot = slotOf(m_handedOut);
        // Cleared, so that the ring's next turn reads silence wherever no frame comes.
        m_samples[slot] = 0;
        m_filled[slot] = 0;
        ++m_handedOut;
    }
}

void PhoneTimeline::startOver(Duration now) {
    m_startedOver = now;
    m_pausedSince.reset();
    m_pausedFor = Duration{0};
}

void PhoneTimeline::pause(Duration now) {
    if (m_startedOver && !m_pausedSince)
        m_pausedSince = now;
}

void PhoneTimeline::resume(Duration now) {
    if (!m_pausedSince)
        return;
    m_pausedFor += now - *m_pausedSince;
    m_pausedSince.reset();
}

void PhoneTimeline::silence() {
    m_startedOver.reset();
    m_pausedSince.reset();
}

std::optional<std::int64_t> PhoneTimeline::sessionFrames() const {
    if (!m_startedOver || m_pausedSince)
        return std::nullopt;
    return m_handedOut - sampleAt(*m_startedOver + m_pausedFor);
}

} // namespace cantorix::phones
