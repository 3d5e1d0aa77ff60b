#include "image_convert.h"

namespace cantorix::app {

QImage toQImage(const scene::Image& image) {
    if (image.empty())
        return {};
    QImage out(image.rgba.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888);
    return out.copy();
}

QImage loadPicture(scene::ImageLoader& loader, const std::filesystem::path& file) {
    try {
        return toQImage(loader.load(file));
    } catch (const scene::EImageError&) {
        // The splash and the logo are decoration: start-up goes on without them.
        return {};
    }
}

} // namespace cantorix::app
