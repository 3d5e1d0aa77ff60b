#include "png_decoder.h"

#include <algorithm>
#include <png.h>
#include <string>
#include <vector>

namespace cantorix::platform {

using scene::EImageError;
using scene::Image;

namespace {

// Refused before any pixel memory is taken: a few bytes of header can claim gigabytes.
constexpr png_uint_32 kMaxSide = 16384;

unsigned ceilDiv(unsigned a, unsigned b) {
    return (a + b - 1) / b;
}

// The picture with each factor × factor block (smaller at the right and bottom edges) averaged
// into one pixel.
Image shrink(const Image& full, unsigned factor) {
    const auto width = static_cast<int>(ceilDiv(static_cast<unsigned>(full.width), factor));
    const auto height = static_cast<int>(ceilDiv(static_cast<unsigned>(full.height), factor));
    Image small(width, height);
    const int f = static_cast<int>(factor);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned sums[4] = {0, 0, 0, 0};
            unsigned count = 0;
            for (int sy = y * f; sy < std::min(full.height, (y + 1) * f); ++sy)
                for (int sx = x * f; sx < std::min(full.width, (x + 1) * f); ++sx, ++count)
                    for (int c = 0; c < 4; ++c)
                        sums[c] += full.pixel(sx, sy)[c];
            for (int c = 0; c < 4; ++c)
                small.pixel(x, y)[c] = static_cast<std::uint8_t>((sums[c] + count / 2) / count);
        }
    return small;
}

} // namespace

Image LibPngDecoder::decode(const std::uint8_t* data, std::size_t size, int maxSide) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size))
        throw EImageError(std::string("not a readable PNG picture: ") + png.message);
    if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
        const std::string message = "picture too large (" + std::to_string(png.width) + " x " +
                                    std::to_string(png.height) + ")";
        png_image_free(&png);
        throw EImageError(message);
    }
    png.format = PNG_FORMAT_RGBA;
    Image image(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr))
        throw EImageError(std::string("damaged PNG picture: ") + png.message);
    if (maxSide <= 0)
        return image;
    const auto limit = static_cast<unsigned>(maxSide);
    const unsigned factor = std::max({1u, ceilDiv(png.width, limit), ceilDiv(png.height, limit)});
    return factor == 1 ? image : shrink(image, factor);
}

} // namespace cantorix::platform
