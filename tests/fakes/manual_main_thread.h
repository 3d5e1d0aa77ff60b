#pragma once
// Test doubles for the capture stream's threading: ManualInvoker queues what is posted to the
// "main thread" until the test runs it on its own thread, and ManualNotifyClock makes stop
// events whose waits time out only when the test lets time pass. Safe to use from any thread.

#include "pitch/capture_notify.h"
#include "pitch/capture_port.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace cantorix::pitch::testing {

class ManualInvoker : public MainThreadInvoker {
public:
    void post(std::function<void()> task) override {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_posted.notify_all();
    }

    // Waits up to timeout for a task to be posted; true when one is queued.
    bool waitForTask(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(m_mutex);
        return m_posted.wait_for(lock, timeout, [this] { return !m_tasks.empty(); });
    }

    // Runs the oldest task on the calling thread, waiting for one up to timeout.
    bool runNext(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            if (!m_posted.wait_for(lock, timeout, [this] { return !m_tasks.empty(); }))
                return false;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
        return true;
    }

    // Runs the tasks queued now; returns how many.
    int runPending() {
        int ran = 0;
        while (runNext(std::chrono::milliseconds(0)))
            ++ran;
        return ran;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

class ManualNotifyClock {
public:
    StopEventFactory factory() {
        return [this] {
            std::lock_guard lock(m_mutex);
            ++m_eventsMade;
            return std::make_unique<Event>(*this);
        };
    }

    // Lets count waits time out: the next ones, or those already waiting.
    void elapse(int count = 1) {
        {
            std::lock_guard lock(m_mutex);
            m_timeouts += count;
        }
        m_changed.notify_all();
    }

    // The timeouts the waits asked for, in order.
    std::vector<std::int32_t> waits() {
        std::lock_guard lock(m_mutex);
        return m_waits;
    }
    int eventsMade() {
        std::lock_guard lock(m_mutex);
        return m_eventsMade;
    }

private:
    class Event : public StopEvent {
    public:
        explicit Event(ManualNotifyClock& clock) : m_clock(clock) {}
        void signal() override {
            {
                std::lock_guard lock(m_clock.m_mutex);
                m_signalled = true;
            }
            m_clock.m_changed.notify_all();
        }
        bool wait(std::int32_t timeoutMs) override {
            std::unique_lock lock(m_clock.m_mutex);
            m_clock.m_waits.push_back(timeoutMs);
            m_clock.m_changed.wait(lock, [this] { return m_signalled || m_clock.m_timeouts > 0; });
            if (m_signalled) {
                m_signalled = false;
                return true;
            }
            --m_clock.m_timeouts;
            return false;
        }

    private:
        ManualNotifyClock& m_clock;
        bool m_signalled = false;
    };

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_timeouts = 0;
    int m_eventsMade = 0;
    std::vector<std::int32_t> m_waits;
};

} // namespace cantorix::pitch::testing
