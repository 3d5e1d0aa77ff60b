#pragma once
// A decoded picture in memory (8-bit RGBA, rows top-down) and the port through which the scene
// loads picture files. Plain data; used on the main thread and by loader threads alike.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace cantorix::scene {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba; // width * height * 4 bytes, first row at the top

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgba(static_cast<std::size_t>(w) * h * 4, 0) {}
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint8_t* pixel(int x, int y) {
        return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    }
    const std::uint8_t* pixel(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    }
};

// A picture file that cannot be read or decoded; the message names the file.
class EImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decodes picture files by their extension (".tga", ".jpg"/".jpeg").
class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    virtual Image load(const std::filesystem::path& file) = 0;
};

// Applies an image brightness factor and a gamma to the colour channels (alpha untouched):
// c' = 255 * clamp(c / 255 * brightness)^(1 / gamma). Brightness 1 and gamma 1 copy the image.
Image adjustBrightnessGamma(const Image& source, float brightness, float gamma);

// The next mipmap level: each side halved (rounded down, at least 1), each pixel the mean of the
// two by two pixels it covers; an odd last row or column is folded into the pixels beside it,
// so every source pixel counts and the picture's edge colour is kept.
Image halvedImage(const Image& source);

} // namespace cantorix::scene
