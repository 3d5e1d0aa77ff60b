#pragma once
// The capture stream's notification thread: it waits on its stop event in short slices and,
// after each slice, has the stream's notify step run on the main thread and waits for it.
// Created and destroyed on the main thread; only run() executes on the thread itself.

#include "capture_port.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace cantorix::pitch {

// An auto-reset event: wait() returns true (and resets the event) once it is signalled, false
// when the timeout passes first. signal() may come from any thread.
class StopEvent {
public:
    virtual ~StopEvent() = default;
    virtual void signal() = 0;
    virtual bool wait(std::int32_t timeoutMs) = 0;
};

class AutoResetEvent : public StopEvent {
public:
    void signal() override;
    bool wait(std::int32_t timeoutMs) override;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_signalled = false;
};

// Makes the stop event of each new notification thread; tests hand in one that they step.
using StopEventFactory = std::function<std::unique_ptr<StopEvent>()>;
StopEventFactory defaultStopEventFactory();

class TSoundCaptureStreamNotify {
public:
    // Starts the thread. notifyStep runs on the main thread, through the invoker, after every
    // wait of waitMs that ends without the stop event.
    TSoundCaptureStreamNotify(MainThreadInvoker& invoker, std::function<void()> notifyStep,
                              std::unique_ptr<StopEvent> stopEvent, std::int32_t waitMs);
    // Signals the stop event and waits for the thread to end. A notify step that is still
    // queued then does nothing when it runs, and one that is running may itself destroy this
    // object (the main thread never waits for a thread that waits for it). Main thread only.
    ~TSoundCaptureStreamNotify();
    TSoundCaptureStreamNotify(const TSoundCaptureStreamNotify&) = delete;
    TSoundCaptureStreamNotify& operator=(const TSoundCaptureStreamNotify&) = delete;

    std::int32_t waitMs() const { return m_waitMs; }

private:
    // The state a posted step shares with the thread; it outlives both.
    struct HandOff {
        std::mutex mutex;
        std::condition_variable changed;
        std::uint64_t posted = 0;
        std::uint64_t finished = 0;
        bool cancelled = false;
    };

    // Runs on the notification thread.
    void run();
    // Runs on the notification thread: posts one step and waits until it has run or the thread
    // is cancelled. False when cancelled.
    bool handOverAndWait();

    MainThreadInvoker& m_invoker;
    std::function<void()> m_notifyStep;
    std::unique_ptr<StopEvent> m_stopEvent;
    std::int32_t m_waitMs;
    std::shared_ptr<HandOff> m_handOff = std::make_shared<HandOff>();
    std::thread m_thread;
};

} // namespace cantorix::pitch
