#pragma once
// The MIDI player's periodic timer: a thread of ours that wakes at absolute deadlines of the
// steady clock every interval and runs the tick there. A tick that overruns its interval makes
// the late ticks run back to back only once (the player measures the elapsed time itself).
// start() and stop() from the window thread; stop() also from inside the tick.

#include "midi/midi_timer_port.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace cantorix::platform {

class MidiTimerThread : public midi::MidiTimer {
public:
    MidiTimerThread() = default;
    ~MidiTimerThread() override;
    MidiTimerThread(const MidiTimerThread&) = delete;
    MidiTimerThread& operator=(const MidiTimerThread&) = delete;

    std::uint32_t nowMs() override;
    // Sleeping to an absolute deadline is precise to well under a millisecond on Linux.
    std::int32_t minimumPeriod() const override { return 1; }
    bool start(std::int32_t periodMs, std::int32_t intervalMs, std::function<void()> tick) override;
    void stop() override;

private:
    void run(std::chrono::steady_clock::duration interval); // timer thread
    void joinFinished();

    std::function<void()> m_tick; // written before the thread starts, then read by it only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false; // under m_mutex
    std::thread m_thread;
};

} // namespace cantorix::platform
