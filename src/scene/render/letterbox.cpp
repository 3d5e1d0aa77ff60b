#include "letterbox.h"

#include <algorithm>
#include <cmath>

namespace cantorix::scene::render {

Letterbox fitLetterbox(int designWidth, int designHeight, int windowWidth, int windowHeight,
                       double devicePixelRatio) {
    Letterbox box;
    box.devicePixelRatio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    const long deviceWidth = std::lround(windowWidth * box.devicePixelRatio);
    const long deviceHeight = std::lround(windowHeight * box.devicePixelRatio);
    box.deviceWidth = static_cast<int>(std::max(deviceWidth, 0L));
    box.deviceHeight = static_cast<int>(std::max(deviceHeight, 0L));
    if (designWidth <= 0 || designHeight <= 0 || deviceWidth <= 0 || deviceHeight <= 0) {
        box.scale = 0;
        return box;
    }
    box.scale = std::min(static_cast<double>(deviceWidth) / designWidth,
                         static_cast<double>(deviceHeight) / designHeight);
    // The side that limits the scale fills the window exactly; the other is rounded, never up
    // past the window.
    box.width = static_cast<int>(std::min<long>(deviceWidth, std::lround(designWidth * box.scale)));
    box.height =
        static_cast<int>(std::min<long>(deviceHeight, std::lround(designHeight * box.scale)));
    box.left = static_cast<int>((deviceWidth - box.width) / 2);
    box.top = static_cast<int>((deviceHeight - box.height) / 2);
    return box;
}

PointF Letterbox::toDesign(PointF window) const {
    if (scale <= 0)
        return {-1, -1};
    return {(window.x * devicePixelRatio - left) / scale,
            (window.y * devicePixelRatio - top) / scale};
}

PointF Letterbox::toWindow(PointF design) const {
    return {(design.x * scale + left) / devicePixelRatio,
            (design.y * scale + top) / devicePixelRatio};
}

ColorF edgeColour(const Image& picture) {
    if (picture.empty())
        return {0, 0, 0, 1};
    double sum[3] = {0, 0, 0};
    long count = 0;
    const auto add = [&](int x, int y) {
        const std::uint8_t* p = picture.pixel(x, y);
        for (int c = 0; c < 3; ++c)
            sum[c] += p[c];
        ++count;
    };
    for (int x = 0; x < picture.width; ++x) {
        add(x, 0);
        if (picture.height > 1)
            add(x, picture.height - 1);
    }
    for (int y = 1; y + 1 < picture.height; ++y) {
        add(0, y);
        if (picture.width > 1)
            add(picture.width - 1, y);
    }
    const auto mean = [&](int c) { return static_cast<float>(sum[c] / count / 255.0); };
    return {mean(0), mean(1), mean(2), 1};
}

} // namespace cantorix::scene::render
