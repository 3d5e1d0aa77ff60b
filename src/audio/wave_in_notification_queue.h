#pragma once
// The queue a wave-in component's device notifications land in: the device pushes them from
// any thread, and they are dispatched in order on the main thread, either by a task posted to
// the main-thread invoker or by the owner pumping the queue while it waits for the device.

#include "base/main_thread_invoker_port.h"
#include "wave_in_device_port.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace cantorix::audio {

// Handles the notifications on the main thread; exceptions go to the queue's handler.
class WaveInDispatcher {
public:
    virtual ~WaveInDispatcher() = default;
    virtual void dispatchOpened() = 0;
    virtual void dispatchData(std::unique_ptr<WaveInBuffer> buffer) = 0;
    virtual void dispatchClosed() = 0;
};

using ExceptionHandler = std::function<void(const std::exception&)>;

class WaveInNotificationQueue : public WaveInListener {
public:
    // Made and destroyed on the main thread, after the device has closed.
    WaveInNotificationQueue(WaveInDispatcher& dispatcher, base::MainThreadInvoker& invoker,
                            ExceptionHandler onException);
    ~WaveInNotificationQueue() override;
    WaveInNotificationQueue(const WaveInNotificationQueue&) = delete;
    WaveInNotificationQueue& operator=(const WaveInNotificationQueue&) = delete;

    // Any thread.
    void waveInOpened() override;
    void waveInData(std::unique_ptr<WaveInBuffer> buffer) override;
    void waveInClosed() override;

    // Main thread: dispatches notifications as they come until done() holds; false when
    // timeout passed first.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    enum class Kind { Opened, Data, Closed };
    struct Message {
        Kind kind;
        std::unique_ptr<WaveInBuffer> buffer;
    };
    struct Queue {
        std::mutex mutex;
        std::condition_variable arrived;
        std::deque<Message> messages;
        WaveInNotificationQueue* instance = nullptr; // main thread only; null once destroyed
    };

    void push(Message message);
    // Main thread: dispatches what is queued now.
    void dispatchPending();
    void dispatch(Message message);

    WaveInDispatcher& m_dispatcher;
    base::MainThreadInvoker& m_invoker;
    ExceptionHandler m_onException;
    // Shared with the posted tasks, which find the queue gone once it is destroyed.
    std::shared_ptr<Queue> m_queue;
};

} // namespace cantorix::audio
