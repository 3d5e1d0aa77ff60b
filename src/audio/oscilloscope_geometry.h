#pragma once
// Where an oscilloscope draws: the area each channel gets in a layout, and the polyline of one
// channel's samples in its area. Pure geometry in integer pixels; any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cantorix::audio {

enum class TOscilloscopeOrientation : std::uint8_t { ooHorizontal, ooVertical };

enum class TOscilloscopeLayout : std::uint8_t {
    olLeftRight,   // left channel in the left half, right channel in the right half
    olTopBottom,   // left channel in the top half, right channel in the bottom half
    olLeftChannel, // the left channel over the whole area
    olRightChannel,
    olOverlay, // both channels over the whole area
};

struct ScopeRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ScopeRect&) const = default;
};

struct ScopePoint {
    int x = 0, y = 0;
    bool operator==(const ScopePoint&) const = default;
};

// The area of each channel; none for a channel the layout does not show.
struct ChannelAreas {
    std::optional<ScopeRect> left, right;
};
ChannelAreas channelAreas(TOscilloscopeLayout layout, ScopeRect client);

// The points of one channel: point i of P sits at left + i × width / (P − 1) along the time axis
// and at the centre + round(half extent × sample / 32768) across it, where the sample is
// channel[Trunc(i × frames / P)]. A vertical orientation swaps the axes. No samples draw the
// centre line.
std::vector<ScopePoint> channelPolyline(std::span<const std::int16_t> channel, int numberOfPoints,
                                        ScopeRect area, TOscilloscopeOrientation orientation);

} // namespace cantorix::audio
