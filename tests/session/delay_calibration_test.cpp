#include "fakes/loopback_click_player.h"
#include "session/delay_calibration.h"

#include <gtest/gtest.h>

namespace cantorix::session {
namespace {

using testing::LoopbackClickPlayer;

std::optional<double> calibrate(LoopbackClickPlayer& loopback) {
    DelayCalibration calibration(loopback);
    calibration.start();
    int steps = 0;
    while (!calibration.step() && ++steps < 1000) {
    }
    return calibration.finish();
}

TEST(DelayCalibrationTest, MeasuresTheLoopbackDelayThroughNoise) {
    struct Case {
        double delayMs;
        float gain, noiseRms;
    };
    const Case cases[] = {{0, 0.5f, 0.01f},   {7.5, 0.2f, 0.02f}, {41, 0.05f, 0.01f},
                          {123, 0.3f, 0.05f}, {260, 0.1f, 0.03f}, {499, 0.5f, 0.02f}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        LoopbackClickPlayer loopback(c.delayMs, c.gain, c.noiseRms, seed++);
        const std::optional<double> measured = calibrate(loopback);
        ASSERT_TRUE(measured.has_value()) << c.delayMs;
        EXPECT_NEAR(*measured, c.delayMs, 5.0);
        EXPECT_EQ(loopback.finishes, 1);
    }
}

TEST(DelayCalibrationTest, HearsNoClickInSilenceOrInNoiseAlone) {
    for (float noise : {0.0f, 0.001f, 0.05f, 0.3f}) {
        LoopbackClickPlayer deaf(100, 0.0f, noise, 7);
        EXPECT_FALSE(calibrate(deaf).has_value()) << noise;
    }
}

TEST(DelayCalibrationTest, OneClickOutOfFiveIsNotEnough) {
    ClickSignal signal = makeClickSignal();
    ASSERT_EQ(signal.clickStarts.size(), 5u);
    // Only the first click comes back: a knock, not a measurement.
    ClickRoundRecording r;
    r.signalHeardAt = 2.0;
    r.firstCapturedAt = 2.0;
    r.captured.assign(signal.samples.size(), 0);
    for (std::size_t i = 0; i < signal.clickStarts[1]; ++i)
        r.captured[i] = static_cast<std::int16_t>(signal.samples[i] * 16000);
    EXPECT_FALSE(measureClickDelay(signal, r).has_value());
    // Three of five suffice.
    for (std::size_t i = signal.clickStarts[1]; i < signal.clickStarts[3]; ++i)
        r.captured[i] = static_cast<std::int16_t>(signal.samples[i] * 16000);
    const std::optional<double> delay = measureClickDelay(signal, r);
    ASSERT_TRUE(delay.has_value());
    EXPECT_NEAR(*delay, 0.0, 0.1);
}

} // namespace
} // namespace cantorix::session
