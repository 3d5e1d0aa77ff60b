#include "audio/oscilloscope_geometry.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace cantorix::audio;

namespace {

TEST(OscilloscopeGeometryTest, LayoutsSplitTheClientArea) {
    const ScopeRect client{0, 16, 274, 49};
    const auto topBottom = channelAreas(TOscilloscopeLayout::olTopBottom, client);
    EXPECT_EQ(topBottom.left, (ScopeRect{0, 16, 274, 24}));
    EXPECT_EQ(topBottom.right, (ScopeRect{0, 40, 274, 25}));
    const auto leftRight = channelAreas(TOscilloscopeLayout::olLeftRight, client);
    EXPECT_EQ(leftRight.left, (ScopeRect{0, 16, 137, 49}));
    EXPECT_EQ(leftRight.right, (ScopeRect{137, 16, 137, 49}));
    const auto leftOnly = channelAreas(TOscilloscopeLayout::olLeftChannel, client);
    EXPECT_EQ(leftOnly.left, client);
    EXPECT_FALSE(leftOnly.right);
    const auto rightOnly = channelAreas(TOscilloscopeLayout::olRightChannel, client);
    EXPECT_FALSE(rightOnly.left);
    EXPECT_EQ(rightOnly.right, client);
    const auto overlay = channelAreas(TOscilloscopeLayout::olOverlay, client);
    EXPECT_EQ(overlay.left, client);
    EXPECT_EQ(overlay.right, client);
}

TEST(OscilloscopeGeometryTest, HorizontalPointsSpanTheWidthAndPickSamplesByTruncation) {
    // 8 frames over 4 points: samples 0, 2, 4 and 6.
    const std::int16_t channel[] = {16384, 1, -16384, 1, 32767, 1, -32768, 1};
    const auto line =
        channelPolyline(channel, 4, {10, 20, 90, 100}, TOscilloscopeOrientation::ooHorizontal);
    ASSERT_EQ(line.size(), 4u);
    EXPECT_EQ(line[0], (ScopePoint{10, 70 + 25}));
    EXPECT_EQ(line[1], (ScopePoint{40, 70 - 25}));
    EXPECT_EQ(line[2], (ScopePoint{70, 70 + 50})); // 50 × 32767 / 32768 rounds to 50
    EXPECT_EQ(line[3], (ScopePoint{100, 70 - 50}));
}

TEST(OscilloscopeGeometryTest, OffsetsRoundHalvesToEven) {
    // Half height 1: a half-scale sample gives 0.5, which rounds to 0; at half height 2, three
    // quarters give 1.5, which rounds to 2.
    const std::int16_t quarter[] = {16384};
    EXPECT_EQ(channelPolyline(quarter, 2, {0, 0, 10, 2}, TOscilloscopeOrientation::ooHorizontal)[0],
              (ScopePoint{0, 1}));
    const std::int16_t threeQuarters[] = {24576};
    EXPECT_EQ(
        channelPolyline(threeQuarters, 2, {0, 0, 10, 4}, TOscilloscopeOrientation::ooHorizontal)[0],
        (ScopePoint{0, 2 + 2}));
}

TEST(OscilloscopeGeometryTest, VerticalOrientationSwapsTheAxes) {
    const std::int16_t channel[] = {16384, -16384};
    const auto line =
        channelPolyline(channel, 2, {0, 0, 40, 200}, TOscilloscopeOrientation::ooVertical);
    ASSERT_EQ(line.size(), 2u);
    EXPECT_EQ(line[0], (ScopePoint{20 + 10, 0}));
    EXPECT_EQ(line[1], (ScopePoint{20 - 10, 200}));
}

TEST(OscilloscopeGeometryTest, MoreFramesThanPointsAndNoFramesAtAll) {
    std::vector<std::int16_t> ramp(1000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>(i * 32);
    const auto line =
        channelPolyline(ramp, 200, {0, 0, 274, 200}, TOscilloscopeOrientation::ooHorizontal);
    ASSERT_EQ(line.size(), 200u);
    EXPECT_EQ(line[199].x, 274);
    EXPECT_EQ(line[199].y, 100 + static_cast<int>(std::nearbyint(100.0 * 995 * 32 / 32768)));
    const auto flat =
        channelPolyline({}, 200, {0, 0, 274, 49}, TOscilloscopeOrientation::ooHorizontal);
    for (const ScopePoint& p : flat)
        EXPECT_EQ(p.y, 24);
    EXPECT_EQ(channelPolyline({}, 0, {0, 0, 10, 10}, TOscilloscopeOrientation::ooHorizontal).size(),
              2u);
}

} // namespace
