#pragma once
// Bridges the scene's decoded pictures to Qt images for the ordinary windows (splash, logo).

#include "scene/image.h"

#include <QImage>

#include <filesystem>

namespace cantorix::app {

QImage toQImage(const scene::Image& image);
// Decodes a picture through the game's loader; a picture that cannot be read gives a null image.
QImage loadPicture(scene::ImageLoader& loader, const std::filesystem::path& file);

} // namespace cantorix::app
