#include "fakes/fake_capture_device.h"
#include "fakes/manual_main_thread.h"
#include "pitch/capture_stream.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace cantorix::pitch;
using namespace cantorix::pitch::testing;

namespace {

// Stands in for the pitch analysis: drains what waits, like the game's handler.
struct Listener {
    int calls = 0;
    std::int32_t lastFilled = 0;
    bool throwOnCall = false;
    bool stopOnCall = false;

    void onFilled(TSoundCaptureStream& sender) {
        ++calls;
        lastFilled = sender.filledSize();
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(lastFilled));
        sender.read(bytes.data(), lastFilled);
        if (stopOnCall)
            sender.stop();
        if (throwOnCall)
            throw std::runtime_error("handler failed");
    }
};

class CaptureNotifyTest : public ::testing::Test {
protected:
    FakeCaptureDevice device;
    ManualInvoker invoker;
    ManualNotifyClock clock;
    Listener listener;
    std::vector<std::string> reported;
    std::unique_ptr<TSoundCaptureStream> stream = std::make_unique<TSoundCaptureStream>(
        device, invoker, [this](const std::exception& e) { reported.push_back(e.what()); },
        clock.factory());

    void startWithListener(std::int32_t bufferLength = 512) {
        stream->setCaptureFormat(18);
        stream->setBufferLength(bufferLength);
        stream->setOnFilledBuffer(TFilledBufferEvent::of<&Listener::onFilled>(listener));
        stream->start();
    }

    // One wait of the notification thread times out and its step runs here, as on the main
    // thread.
    void tick() {
        clock.elapse();
        ASSERT_TRUE(invoker.runNext());
    }
};

TEST_F(CaptureNotifyTest, RaisesTheEventOncePerWaitWhenBytesArrived) {
    startWithListener();
    device.ring->produce(4410);
    tick();
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(listener.lastFilled, 4410);
    tick(); // nothing new: no event
    EXPECT_EQ(listener.calls, 1);
    device.ring->produce(4410);
    tick();
    EXPECT_EQ(listener.calls, 2);
    EXPECT_EQ(stream->position(), 8820);
    stream->stop();
    const auto waits = clock.waits();
    EXPECT_GE(waits.size(), 3u);
    for (const std::int32_t ms : waits)
        EXPECT_EQ(ms, 50);
}

TEST_F(CaptureNotifyTest, ShortBuffersWaitAQuarterOfTheirLength) {
    startWithListener(100);
    tick();
    stream->stop();
    EXPECT_EQ(clock.waits().front(), 25);
}

TEST_F(CaptureNotifyTest, NoThreadWithoutAHandler) {
    stream->setCaptureFormat(18);
    stream->start();
    EXPECT_EQ(clock.eventsMade(), 0);
}

TEST_F(CaptureNotifyTest, StopReturnsWhileTheThreadWaitsForTheMainThread) {
    startWithListener();
    device.ring->produce(100);
    clock.elapse();
    ASSERT_TRUE(invoker.waitForTask());
    stream->stop(); // the posted step has not run: stop must not wait for it
    EXPECT_FALSE(stream->capturing());
    invoker.runPending(); // the stale step does nothing
    EXPECT_EQ(listener.calls, 0);
}

TEST_F(CaptureNotifyTest, DestroyingTheStreamLeavesAHarmlessQueuedStep) {
    startWithListener();
    device.ring->produce(100);
    clock.elapse();
    ASSERT_TRUE(invoker.waitForTask());
    auto ring = device.ring;
    stream.reset();
    EXPECT_TRUE(ring->released);
    EXPECT_EQ(invoker.runPending(), 1);
    EXPECT_EQ(listener.calls, 0);
}

TEST_F(CaptureNotifyTest, HandlerMayStopTheStream) {
    startWithListener();
    listener.stopOnCall = true;
    device.ring->produce(100);
    tick();
    EXPECT_EQ(listener.calls, 1);
    EXPECT_FALSE(stream->capturing());
}

TEST_F(CaptureNotifyTest, HandlerExceptionIsReportedOnceAndEndsTheCapture) {
    startWithListener();
    listener.throwOnCall = true;
    device.ring->produce(100);
    auto ring = device.ring;
    tick();
    EXPECT_EQ(reported, (std::vector<std::string>{"handler failed"}));
    EXPECT_FALSE(stream->capturing());
    EXPECT_TRUE(ring->stopped);
    EXPECT_TRUE(ring->released);
    clock.elapse(3);
    EXPECT_FALSE(invoker.waitForTask(std::chrono::milliseconds(50)));
}

TEST_F(CaptureNotifyTest, ChangingTheHandlerWhileCapturingReplacesTheThread) {
    startWithListener();
    const auto handler = stream->onFilledBuffer();
    stream->setOnFilledBuffer(handler); // the same handler: nothing happens
    EXPECT_EQ(clock.eventsMade(), 1);

    Listener other;
    stream->setOnFilledBuffer(TFilledBufferEvent::of<&Listener::onFilled>(other));
    EXPECT_EQ(clock.eventsMade(), 2);
    EXPECT_TRUE(stream->capturing());
    device.ring->produce(10);
    tick();
    EXPECT_EQ(other.calls, 1);
    EXPECT_EQ(listener.calls, 0);

    stream->setOnFilledBuffer({});
    clock.elapse();
    EXPECT_FALSE(invoker.waitForTask(std::chrono::milliseconds(50)));
    EXPECT_TRUE(stream->capturing());
}

} // namespace
