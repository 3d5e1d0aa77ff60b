#pragma once
// Running figures of the session's timing: what one clock tick and one analysis tick cost on
// the main thread, and how late each record is entered after the clock's beat reached it.
// Cheap enough to keep on in every session; read by the tests and the timing benchmark.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace cantorix::session {

class TimingStats {
public:
    void add(double value) {
        ++m_count;
        m_sum += value;
        m_min = std::min(m_min, value);
        m_max = std::max(m_max, value);
    }
    std::int64_t count() const { return m_count; }
    double mean() const { return m_count ? m_sum / static_cast<double>(m_count) : 0.0; }
    double min() const { return m_count ? m_min : 0.0; }
    double max() const { return m_count ? m_max : 0.0; }

private:
    std::int64_t m_count = 0;
    double m_sum = 0;
    double m_min = std::numeric_limits<double>::infinity();
    double m_max = -std::numeric_limits<double>::infinity();
};

struct SessionTimings {
    TimingStats clockTickMs;
    TimingStats analysisTickMs;
    TimingStats entryLatenessMs; // play position at entry minus the time its beat was reached
    // Semitone windows whose samples were lost before the analysis could read them.
    std::int64_t missedWindows = 0;
};

} // namespace cantorix::session
