#include "image.h"

#include <algorithm>
#include <array>
#include <cmath>

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

} // namespace cantorix::scene
