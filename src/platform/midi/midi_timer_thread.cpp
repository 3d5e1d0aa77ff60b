#include "midi_timer_thread.h"

#include <chrono>
#include <pthread.h>
#include <sched.h>

namespace cantorix::platform {

namespace {

using Clock = std::chrono::steady_clock;

// The timer whose thread is the calling thread, so stop() can tell that it runs inside a tick.
thread_local const MidiTimerThread* t_runningTimer = nullptr;

// Timer thread: asks for a real-time scheduling class, as the tick is short and late ticks are
// heard; where the process may not have one, the thread runs at normal priority.
void raisePriority() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace

MidiTimerThread::~MidiTimerThread() {
    stop();
}

std::uint32_t MidiTimerThread::nowMs() {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

bool MidiTimerThread::start(std::int32_t /*periodMs*/, std::int32_t intervalMs,
                            std::function<void()> tick) {
    if (intervalMs <= 0 || !tick)
        return false;
    if (t_runningTimer == this)
        return false;
    // A thread told to stop from inside its own tick may still be finishing.
    joinFinished();
    if (m_thread.joinable())
        return false;
    m_tick = std::move(tick);
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    const auto interval = std::chrono::milliseconds(intervalMs);
    try {
        m_thread = std::thread([this, interval] { run(interval); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void MidiTimerThread::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (t_runningTimer == this)
        return;
    if (m_thread.joinable())
        m_thread.join();
}

void MidiTimerThread::joinFinished() {
    bool stopping;
    {
        std::lock_guard lock(m_mutex);
        stopping = m_stopping;
    }
    if (stopping && m_thread.joinable())
        m_thread.join();
}

void MidiTimerThread::run(Clock::duration interval) {
    t_runningTimer = this;
    raisePriority();
    Clock::time_point deadline = Clock::now() + interval;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_until(lock, deadline, [this] { return m_stopping; }))
                return;
        }
        m_tick();
        deadline += interval;
        // After a stall, go on from now instead of firing every missed tick in a burst.
        const Clock::time_point now = Clock::now();
        if (deadline < now)
            deadline = now;
    }
}

} // namespace cantorix::platform
