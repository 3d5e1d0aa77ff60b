#include "wave_in_notification_queue.h"

#include <stdexcept>

namespace cantorix::audio {

WaveInNotificationQueue::WaveInNotificationQueue(WaveInDispatcher& dispatcher,
                                                 base::MainThreadInvoker& invoker,
                                                 ExceptionHandler onException)
    : m_dispatcher(dispatcher), m_invoker(invoker), m_onException(std::move(onException)),
      m_queue(std::make_shared<Queue>()) {
    m_queue->instance = this;
}

WaveInNotificationQueue::~WaveInNotificationQueue() {
    m_queue->instance = nullptr;
}

void WaveInNotificationQueue::waveInOpened() {
    push({Kind::Opened, nullptr});
}

void WaveInNotificationQueue::waveInData(std::unique_ptr<WaveInBuffer> buffer) {
    push({Kind::Data, std::move(buffer)});
}

void WaveInNotificationQueue::waveInClosed() {
    push({Kind::Closed, nullptr});
}

void WaveInNotificationQueue::push(Message message) {
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->messages.push_back(std::move(message));
    }
    m_queue->arrived.notify_all();
    // One task per message keeps it simple: a task that finds the queue already pumped empty
    // does nothing.
    m_invoker.post([weak = std::weak_ptr<Queue>(m_queue)] {
        if (const auto queue = weak.lock(); queue && queue->instance != nullptr)
            queue->instance->dispatchPending();
    });
}

void WaveInNotificationQueue::dispatchPending() {
    for (;;) {
        Message message;
        {
            std::lock_guard lock(m_queue->mutex);
            if (m_queue->messages.empty())
                return;
            message = std::move(m_queue->messages.front());
            m_queue->messages.pop_front();
        }
        dispatch(std::move(message));
    }
}

bool WaveInNotificationQueue::pumpUntil(const std::function<bool()>& done,
                                        std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        dispatchPending();
        if (done())
            return true;
        std::unique_lock lock(m_queue->mutex);
        if (!m_queue->arrived.wait_until(lock, deadline,
                                         [this] { return !m_queue->messages.empty(); }))
            return done();
    }
}

void WaveInNotificationQueue::dispatch(Message message) {
    // A failing handler must not stop the notifications after it: report it and go on.
    try {
        switch (message.kind) {
        case Kind::Opened:
            m_dispatcher.dispatchOpened();
            break;
        case Kind::Data:
            m_dispatcher.dispatchData(std::move(message.buffer));
            break;
        case Kind::Closed:
            m_dispatcher.dispatchClosed();
            break;
        }
    } catch (const std::exception& e) {
        if (m_onException)
            m_onException(e);
    }
}

} // namespace cantorix::audio
