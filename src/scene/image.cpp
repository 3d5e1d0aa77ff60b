#include "image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace cantorix::scene {

namespace {

// One channel value through brightness and gamma; halves round to even like every other
// rounding in the game.
std::uint8_t adjustChannel(int value, double brightness, double exponent) {
    double v = value / 255.0 * brightness;
    if (!(v > 0.0)) // also catches NaN
        return 0;
    v = std::min(v, 1.0);
    return static_cast<std::uint8_t>(std::nearbyint(255.0 * std::pow(v, exponent)));
}

} // namespace

Image adjustBrightnessGamma(const Image& source, float brightness, float gamma) {
    if (brightness == 1.0f && gamma == 1.0f)
        return source;
    // A gamma of zero or below has no meaning; treat it as "no gamma" rather than divide by it.
    const double exponent = gamma > 0.0f && std::isfinite(gamma) ? 1.0 / gamma : 1.0;
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<std::size_t>(c)] = adjustChannel(c, brightness, exponent);

    Image out = source;
    for (std::size_t i = 0; i + 3 < out.rgba.size(); i += 4) {
        out.rgba[i] = table[out.rgba[i]];
        out.rgba[i + 1] = table[out.rgba[i + 1]];
        out.rgba[i + 2] = table[out.rgba[i + 2]];
    }
    return out;
}

Image halvedImage(const Image& source) {
    if (source.empty())
        return {};
    const int width = std::max(1, source.width / 2);
    const int height = std::max(1, source.height / 2);
    Image out(width, height);
    // The source columns and rows each output pixel covers: two, three for the last of an odd
    // side, one or two where a side is already 1.
    const auto span = [](int index, int outSize, int inSize) {
        const int first = inSize == 1 ? 0 : index * 2;
        const int last = index == outSize - 1 ? inSize - 1 : first + 1;
        return std::pair{first, last};
    };
    for (int y = 0; y < height; ++y) {
        const auto [top, bottom] = span(y, height, source.height);
        for (int x = 0; x < width; ++x) {
            const auto [left, right] = span(x, width, source.width);
            unsigned sum[4] = {0, 0, 0, 0};
            unsigned count = 0;
            for (int sy = top; sy <= bottom; ++sy)
                for (int sx = left; sx <= right; ++sx) {
                    const std::uint8_t* p = source.pixel(sx, sy);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += p[c];
                    ++count;
                }
            std::uint8_t* q = out.pixel(x, y);
            for (int c = 0; c < 4; ++c)
                q[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
        }
    }
    return out;
}

} // namespace cantorix::scene
