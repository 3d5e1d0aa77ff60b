#pragma once
// Test double for the MIDI player's timer: the test sets the millisecond clock and runs each
// tick itself, on its own thread, so playback is checked without sleeping. It can also refuse
// to start, as a machine without a timer would.

#include "midi/midi_timer_port.h"

#include <cstdint>
#include <functional>

namespace cantorix::midi::testing {

class ManualMidiTimer : public MidiTimer {
public:
    bool refuseStart = false;
    std::uint32_t now = 1000;
    std::int32_t minimum = 1;

    std::uint32_t nowMs() override { return now; }
    std::int32_t minimumPeriod() const override { return minimum; }

    bool start(std::int32_t periodMs, std::int32_t intervalMs,
               std::function<void()> tick) override {
        if (refuseStart)
            return false;
        m_running = true;
        m_period = periodMs;
        m_interval = intervalMs;
        m_tick = std::move(tick);
        ++m_starts;
        return true;
    }
    void stop() override { m_running = false; }

    bool running() const { return m_running; }
    std::int32_t period() const { return m_period; }
    std::int32_t interval() const { return m_interval; }
    int starts() const { return m_starts; }

    // Lets ms pass and runs one tick, when running.
    void tick(std::uint32_t ms) {
        now += ms;
        if (m_running)
            m_tick();
    }
    // count ticks of the started interval each.
    void ticks(int count) {
        for (int i = 0; i < count; ++i)
            tick(static_cast<std::uint32_t>(m_interval));
    }

private:
    bool m_running = false;
    std::int32_t m_period = 0;
    std::int32_t m_interval = 0;
    std::function<void()> m_tick;
    int m_starts = 0;
};

} // namespace cantorix::midi::testing
