#include "capture_mix.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace cantorix::platform {

namespace {

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CaptureMix::CaptureMix(const std::vector<CaptureHub*>& hubs, std::function<double()> secondsNow)
    : m_secondsNow(secondsNow ? std::move(secondsNow) : steadySeconds) {
    for (CaptureHub* hub : hubs)
        m_subscriptions.push_back(hub->subscribe(kQueueFrames));
    m_backlogs.resize(m_subscriptions.size());
}

void CaptureMix::take(std::vector<std::int16_t>& out) {
    if (m_subscriptions.empty()) {
        takeSilence(out);
        return;
    }
    if (m_subscriptions.size() == 1) {
        const std::size_t from = out.size();
        out.resize(from + m_subscriptions[0]->available());
        out.resize(from + m_subscriptions[0]->read(out.data() + from, out.size() - from));
        return;
    }
    std::int64_t shortest = INT64_MAX;
    std::int64_t longest = 0;
    for (std::size_t i = 0; i < m_subscriptions.size(); ++i) {
        collect(i);
        shortest = std::min(shortest, m_backlogs[i].end);
        longest = std::max(longest, m_backlogs[i].end);
    }
    const auto lag = static_cast<std::int64_t>(kMaxLagFrames);
    const std::int64_t until = std::max(shortest, longest - lag);
    if (until <= m_mixed)
        return;
    const auto count = static_cast<std::size_t>(until - m_mixed);
    const auto inputs = static_cast<std::int32_t>(m_backlogs.size());
    const std::size_t from = out.size();
    out.resize(from + count);
    for (std::size_t frame = 0; frame < count; ++frame) {
        const std::int64_t at = m_mixed + static_cast<std::int64_t>(frame);
        std::int32_t sum = 0;
        for (const Backlog& backlog : m_backlogs) {
            // The backlog starts at its end less its length, never before the mix position.
            const std::int64_t first =
                backlog.end - static_cast<std::int64_t>(backlog.frames.size());
            if (at >= first && at < backlog.end)
                sum += backlog.frames[static_cast<std::size_t>(at - first)];
        }
        out[from + frame] = mixedSample(sum, inputs);
    }
    m_mixed = until;
    for (Backlog& backlog : m_backlogs) {
        const std::int64_t first = backlog.end - static_cast<std::int64_t>(backlog.frames.size());
        const std::int64_t passed = std::clamp<std::int64_t>(
            until - first, 0, static_cast<std::int64_t>(backlog.frames.size()));
        backlog.frames.erase(backlog.frames.begin(),
                             backlog.frames.begin() + static_cast<std::ptrdiff_t>(passed));
    }
}

// Reads what input `input` delivered since the last look. Its frames follow on from the ones
// before, whenever they arrive; frames its queue refused leave a gap of their length, heard as
// silence. Frames for places the mix has already handed out come too late and are dropped.
void CaptureMix::collect(std::size_t input) {
    Backlog& backlog = m_backlogs[input];
    CaptureHub::Subscription& subscription = *m_subscriptions[input];
    const std::size_t had = backlog.frames.size();
    backlog.frames.resize(had + subscription.available());
    const std::size_t read =
        subscription.read(backlog.frames.data() + had, backlog.frames.size() - had);
    backlog.frames.resize(had + read);
    backlog.end += static_cast<std::int64_t>(read);
    const std::int64_t first = backlog.end - static_cast<std::int64_t>(backlog.frames.size());
    if (first < m_mixed) {
        const auto late = static_cast<std::size_t>(std::min<std::int64_t>(
            m_mixed - first, static_cast<std::int64_t>(backlog.frames.size())));
        backlog.frames.erase(backlog.frames.begin(),
                             backlog.frames.begin() + static_cast<std::ptrdiff_t>(late));
    }
    // The refused frames came after the ones just read; what follows them lies past the gap.
    const std::uint64_t dropped = subscription.dropped();
    if (dropped != backlog.droppedSeen) {
        const auto gap = static_cast<std::int64_t>(dropped - backlog.droppedSeen);
        backlog.droppedSeen = dropped;
        if (!backlog.frames.empty())
            backlog.frames.resize(backlog.frames.size() + static_cast<std::size_t>(gap), 0);
        backlog.end += gap;
    }
}

void CaptureMix::takeSilence(std::vector<std::int16_t>& out) {
    const double now = m_secondsNow();
    if (m_silenceStartedAt < 0)
        m_silenceStartedAt = now;
    const auto due =
        static_cast<std::int64_t>(std::floor((now - m_silenceStartedAt) * CaptureHub::kSampleRate));
    if (due > m_silentFrames) {
        out.resize(out.size() + static_cast<std::size_t>(due - m_silentFrames), 0);
        m_silentFrames = due;
    }
}

} // namespace cantorix::platform
