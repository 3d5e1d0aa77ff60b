#include "app/start_steps.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using cantorix::app::StartSteps;

// A clock each step moves on by a number of milliseconds of its own.
class StepClock : public cantorix::scene::SteadyClock {
public:
    double seconds() override { return m_now; }
    void advance(double ms) { m_now += ms / 1000; }

private:
    double m_now = 100;
};

TEST(StartStepsTest, WhatTheFirstFrameDoesNotShowWaitsForItAndRunsInOrder) {
    StepClock clock;
    StartSteps steps(clock);
    std::vector<std::string> ran;
    steps.begin("options file");
    clock.advance(2);
    steps.run("main window made", [&] { clock.advance(30); });
    steps.afterFirstFrame("preview", [&] {
        ran.push_back("preview");
        clock.advance(170);
    });
    steps.afterFirstFrame("broken", [&] {
        ran.push_back("broken");
        throw std::runtime_error("no sound");
    });
    steps.afterFirstFrame("records", [&] { ran.push_back("records"); });
    EXPECT_TRUE(ran.empty());
    clock.advance(5);
    std::vector<std::string> failures;
    steps.onFailure([&](const std::exception& e) { failures.emplace_back(e.what()); });
    steps.firstFrameDrawn();
    steps.firstFrameDrawn(); // a second frame changes nothing
    // Once the frame is up a step runs at once.
    steps.afterFirstFrame("late", [&] { ran.push_back("late"); });

    EXPECT_EQ(ran, (std::vector<std::string>{"preview", "broken", "records", "late"}));
    EXPECT_EQ(failures, std::vector<std::string>{"no sound"});
    EXPECT_EQ(steps.namesBeforeFirstFrame(),
              (std::vector<std::string>{"options file", "main window made"}));
    const std::vector<StartSteps::Step>& all = steps.steps();
    ASSERT_EQ(all.size(), 6u);
    EXPECT_NEAR(all[0].seconds, 0.002, 1e-9); // ended by the next step's start
    EXPECT_NEAR(all[1].seconds, 0.030, 1e-9);
    EXPECT_NEAR(*steps.firstFrameSeconds(), 0.037, 1e-9);
    EXPECT_NEAR(all[2].seconds, 0.170, 1e-9);
    EXPECT_FALSE(all[2].beforeFirstFrame);
    const std::string report = steps.report();
    EXPECT_LT(report.find("main window made"), report.find("first frame drawn"));
    EXPECT_LT(report.find("first frame drawn"), report.find("preview"));
}

TEST(StartStepsTest, AStepThatThrowsBeforeTheFrameIsTimedAndItsErrorPassesOn) {
    StepClock clock;
    StartSteps steps(clock);
    EXPECT_THROW(steps.run("background",
                           [&] {
                               clock.advance(4);
                               throw std::runtime_error("no picture");
                           }),
                 std::runtime_error);
    ASSERT_EQ(steps.steps().size(), 1u);
    EXPECT_NEAR(steps.steps()[0].seconds, 0.004, 1e-9);
    EXPECT_FALSE(steps.firstFrameShown());
}

} // namespace
