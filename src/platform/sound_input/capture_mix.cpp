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
    std::size_t shortest = SIZE_MAX;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < m_subscriptions.size(); ++i) {
        auto& backlog = m_backlogs[i];
        const std::size_t had = backlog.size();
        backlog.resize(had + m_subscriptions[i]->available());
        backlog.resize(had + m_subscriptions[i]->read(backlog.data() + had, backlog.size() - had));
        shortest = std::min(shortest, backlog.size());
        longest = std::max(longest, backlog.size());
    }
    const std::size_t count =
        std::max(shortest, longest > kMaxLagFrames ? longest - kMaxLagFrames : 0);
    const auto inputs = static_cast<std::int32_t>(m_backlogs.size());
    const std::size_t from = out.size();
    out.resize(from + count);
    for (std::size_t frame = 0; frame < count; ++frame) {
        std::int32_t sum = 0;
        for (const auto& backlog : m_backlogs)
            sum += frame < backlog.size() ? backlog[frame] : 0;
        out[from + frame] = mixedSample(sum, inputs);
    }
    for (auto& backlog : m_backlogs)
        backlog.erase(backlog.begin(), backlog.begin() + static_cast<std::ptrdiff_t>(
                                                             std::min(count, backlog.size())));
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
