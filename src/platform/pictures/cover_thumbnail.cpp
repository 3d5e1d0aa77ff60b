#include "cover_thumbnail.h"

#include "jpeg_encoder.h"
#include "scene/picture_loader.h"

#include <algorithm>
#include <cmath>

namespace cantorix::platform {

namespace {

// Small pictures of flat colours and faces: 80 keeps them clean at a few kilobytes each.
constexpr int kQuality = 80;

// The span of source pixels [first, last) that target pixel `at` of `target` covers.
std::pair<int, int> coveredSpan(int at, int target, int source) {
    const auto first = static_cast<int>(static_cast<std::int64_t>(at) * source / target);
    const auto last = static_cast<int>(static_cast<std::int64_t>(at + 1) * source / target);
    return {first, std::max(first + 1, last)};
}

} // namespace

scene::Image fittedWithin(const scene::Image& picture, int maxSide) {
    const int longest = std::max(picture.width, picture.height);
    if (picture.empty() || maxSide <= 0 || longest <= maxSide)
        return picture;
    const double scale = static_cast<double>(maxSide) / longest;
    const int width = std::clamp(static_cast<int>(std::lround(picture.width * scale)), 1, maxSide);
    const int height =
        std::clamp(static_cast<int>(std::lround(picture.height * scale)), 1, maxSide);
    scene::Image fitted(width, height);
    for (int y = 0; y < height; ++y) {
        const auto [top, bottom] = coveredSpan(y, height, picture.height);
        for (int x = 0; x < width; ++x) {
            const auto [left, right] = coveredSpan(x, width, picture.width);
            std::uint64_t colour[3] = {0, 0, 0}, alpha = 0, count = 0;
            for (int sy = top; sy < bottom; ++sy)
                for (int sx = left; sx < right; ++sx) {
                    const std::uint8_t* p = picture.pixel(sx, sy);
                    for (int c = 0; c < 3; ++c)
                        colour[c] += std::uint64_t{p[c]} * p[3];
                    alpha += p[3];
                    ++count;
                }
            std::uint8_t* out = fitted.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>(alpha ? (colour[c] + alpha / 2) / alpha : 0);
            out[3] = static_cast<std::uint8_t>((alpha + count / 2) / count);
        }
    }
    return fitted;
}

std::string CoverThumbnailMaker::make(const std::filesystem::path& cover) {
    // Decoded at up to twice the size (the decoders shrink cheaply while decoding), then
    // averaged down, so the thumbnail is sharp without the cost of decoding the cover whole.
    scene::PictureFileLoader loader(m_jpeg, m_png, 2 * m_maxSide);
    return encodeJpeg(fittedWithin(loader.load(cover), m_maxSide), kQuality, kBackdrop);
}

} // namespace cantorix::platform
