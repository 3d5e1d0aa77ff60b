#include "capture_notify.h"

#include <chrono>
#include <utility>

namespace cantorix::pitch {

void AutoResetEvent::signal() {
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    m_wake.notify_one();
}

bool AutoResetEvent::wait(std::int32_t timeoutMs) {
    std::unique_lock lock(m_mutex);
    const bool signalled =
        m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_signalled; });
    m_signalled = false;
    return signalled;
}

StopEventFactory defaultStopEventFactory() {
    return [] { return std::make_unique<AutoResetEvent>(); };
}

TSoundCaptureStreamNotify::TSoundCaptureStreamNotify(MainThreadInvoker& invoker,
                                                     std::function<void()> notifyStep,
                                                     std::unique_ptr<StopEvent> stopEvent,
                                                     std::int32_t waitMs)
    : m_invoker(invoker), m_notifyStep(std::move(notifyStep)), m_stopEvent(std::move(stopEvent)),
      m_waitMs(waitMs), m_thread([this] { run(); }) {}

TSoundCaptureStreamNotify::~TSoundCaptureStreamNotify() {
    m_stopEvent->signal();
    {
        std::lock_guard lock(m_handOff->mutex);
        m_handOff->cancelled = true;
    }
    m_handOff->changed.notify_all();
    m_thread.join();
}

void TSoundCaptureStreamNotify::run() {
    while (!m_stopEvent->wait(m_waitMs)) {
        if (!handOverAndWait())
            return;
    }
}

bool TSoundCaptureStreamNotify::handOverAndWait() {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(m_handOff->mutex);
        if (m_handOff->cancelled)
            return false;
        ticket = ++m_handOff->posted;
    }
    // The task keeps its own references: by the time it runs, this object may be gone.
    m_invoker.post([handOff = m_handOff, step = m_notifyStep, ticket] {
        {
            std::lock_guard lock(handOff->mutex);
            if (handOff->cancelled)
                return;
        }
        struct Finish {
            HandOff& handOff;
            std::uint64_t ticket;
            ~Finish() {
                {
                    std::lock_guard lock(handOff.mutex);
                    handOff.finished = ticket;
                }
                handOff.changed.notify_all();
            }
        } finish{*handOff, ticket};
        step();
    });
    std::unique_lock lock(m_handOff->mutex);
    m_handOff->changed.wait(lock,
                            [&] { return m_handOff->cancelled || m_handOff->finished >= ticket; });
    return !m_handOff->cancelled;
}

} // namespace cantorix::pitch
