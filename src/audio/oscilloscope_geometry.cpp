#include "oscilloscope_geometry.h"

#include <cmath>

namespace cantorix::audio {

namespace {

// Real values become pixels rounded half to even, like every rounding of the game.
int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

ChannelAreas channelAreas(TOscilloscopeLayout layout, ScopeRect client) {
    const int halfWidth = client.width / 2;
    const int halfHeight = client.height / 2;
    switch (layout) {
    case TOscilloscopeLayout::olLeftRight:
        return {ScopeRect{client.left, client.top, halfWidth, client.height},
                ScopeRect{client.left + halfWidth, client.top, client.width - halfWidth,
                          client.height}};
    case TOscilloscopeLayout::olTopBottom:
        return {ScopeRect{client.left, client.top, client.width, halfHeight},
                ScopeRect{client.left, client.top + halfHeight, client.width,
                          client.height - halfHeight}};
    case TOscilloscopeLayout::olLeftChannel:
        return {client, std::nullopt};
    case TOscilloscopeLayout::olRightChannel:
        return {std::nullopt, client};
    case TOscilloscopeLayout::olOverlay:
        break;
    }
    return {client, client};
}

std::vector<ScopePoint> channelPolyline(std::span<const std::int16_t> channel, int numberOfPoints,
                                        ScopeRect area, TOscilloscopeOrientation orientation) {
    // Fewer than two points have no line between them.
    const std::int64_t points = numberOfPoints < 2 ? 2 : numberOfPoints;
    const bool horizontal = orientation == TOscilloscopeOrientation::ooHorizontal;
    const std::int64_t along = horizontal ? area.width : area.height;
    const int start = horizontal ? area.left : area.top;
    const int across = horizontal ? area.height : area.width;
    const int centre = (horizontal ? area.top : area.left) + across / 2;
    const double half = across / 2.0;
    const auto frames = static_cast<std::int64_t>(channel.size());

    std::vector<ScopePoint> line;
    line.reserve(static_cast<std::size_t>(points));
    for (std::int64_t i = 0; i < points; ++i) {
        const int position = start + static_cast<int>(i * along / (points - 1));
        const std::int16_t sample =
            frames > 0 ? channel[static_cast<std::size_t>(i * frames / points)] : std::int16_t{0};
        const int offset = centre + roundHalfEven(half * sample / 32768.0);
        line.push_back(horizontal ? ScopePoint{position, offset} : ScopePoint{offset, position});
    }
    return line;
}

} // namespace cantorix::audio
