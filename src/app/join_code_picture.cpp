#include "join_code_picture.h"

#include <algorithm>

namespace cantorix::app {

bool drawable(const JoinCode& code) {
    return code.size > 0 && code.modules.size() == static_cast<std::size_t>(code.size) *
                                                       static_cast<std::size_t>(code.size);
}

QImage joinCodePicture(const JoinCode& code, int pixels) {
    const int side = (code.size + 2 * kQuietModules) * pixels;
    QImage picture(side, side, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int y = 0; y < code.size; ++y)
        for (int x = 0; x < code.size; ++x) {
            if (!code.modules[static_cast<std::size_t>(y) * code.size + x])
                continue;
            for (int py = 0; py < pixels; ++py) {
                auto* line =
                    reinterpret_cast<QRgb*>(picture.scanLine((y + kQuietModules) * pixels + py));
                std::fill_n(line + (x + kQuietModules) * pixels, pixels, qRgb(0, 0, 0));
            }
        }
    return picture;
}

} // namespace cantorix::app
