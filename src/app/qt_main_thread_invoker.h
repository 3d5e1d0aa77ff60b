#pragma once
// The main-thread hand-over of the capture stream over Qt: a posted task becomes a queued call
// to an object living on the main thread. Make it on the main thread and destroy it after
// every stream that uses it; tasks still queued then are dropped.

#include "base/main_thread_invoker_port.h"

#include <QObject>
#include <functional>

namespace cantorix::app {

class QtMainThreadInvoker : public base::MainThreadInvoker {
public:
    // Any thread.
    void post(std::function<void()> task) override;

private:
    QObject m_receiver;
};

} // namespace cantorix::app
