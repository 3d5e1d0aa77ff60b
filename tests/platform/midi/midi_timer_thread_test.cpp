#include "platform/midi/midi_timer_thread.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using cantorix::platform::MidiTimerThread;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(MidiTimerThreadTest, TicksAtTheIntervalOnItsOwnThread) {
    MidiTimerThread timer;
    std::atomic<int> ticks{0};
    std::atomic<bool> otherThread{true};
    const auto self = std::this_thread::get_id();
    const std::uint32_t begin = timer.nowMs();
    ASSERT_TRUE(timer.start(1, 4, [&] {
        if (std::this_thread::get_id() == self)
            otherThread = false;
        ++ticks;
    }));
    std::this_thread::sleep_for(400ms);
    timer.stop();
    const std::uint32_t elapsed = timer.nowMs() - begin;
    const int count = ticks.load();
    EXPECT_TRUE(otherThread.load());
    EXPECT_NEAR(count, static_cast<int>(elapsed / 4), 10) << "one tick per 4 ms";
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ticks.load(), count) << "none after stop() returned";
}

TEST(MidiTimerThreadTest, StopFromInsideATickMakesItTheLast) {
    MidiTimerThread timer;
    std::atomic<int> ticks{0};
    ASSERT_TRUE(timer.start(1, 2, [&] {
        if (++ticks == 3)
            timer.stop();
    }));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(ticks.load(), 3);

    std::atomic<int> again{0};
    ASSERT_TRUE(timer.start(1, 2, [&] { ++again; })) << "starts again after such a stop";
    std::this_thread::sleep_for(30ms);
    timer.stop();
    EXPECT_GT(again.load(), 0);
}

TEST(MidiTimerThreadTest, RefusesWhatCannotRun) {
    MidiTimerThread timer;
    EXPECT_FALSE(timer.start(1, 0, [] {}));
    EXPECT_FALSE(timer.start(1, 4, nullptr));
    ASSERT_TRUE(timer.start(1, 4, [] {}));
    EXPECT_FALSE(timer.start(1, 4, [] {})) << "already running";
    timer.stop();
    timer.stop();
    EXPECT_EQ(timer.minimumPeriod(), 1);
}
