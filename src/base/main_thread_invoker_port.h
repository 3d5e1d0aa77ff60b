#pragma once
// Port: MainThreadInvoker. Adapter: app/qt_main_thread_invoker.h;
// fake: tests/fakes/manual_main_thread.h.
// The hand-over of work from device and timer threads to the main thread: the capture stream,
// the recorder's notification queue and the MIDI player all post through it. The Qt adapter
// lives in app/; tests step a manual one.

#include <functional>

namespace cantorix::base {

// post() may be called from any thread; tasks run later on the main thread in the order
// posted. Tasks still queued when the invoker dies may be dropped.
class MainThreadInvoker {
public:
    virtual ~MainThreadInvoker() = default;
    virtual void post(std::function<void()> task) = 0;
};

} // namespace cantorix::base
