#pragma once
// JPEG encoding through libjpeg-turbo, for pictures the game hands out (the phones' cover
// thumbnails). Holds no state: every call builds its own compressor, so threads may call it at
// once.

#include "scene/image.h"

#include <string>

namespace cantorix::platform {

// The picture as a baseline JPEG of the given quality (1..100), its alpha laid over `backdrop`
// (0xRRGGBB): JPEG keeps no transparency. Raises EImageError for an empty picture or one whose
// pixels do not match its size.
std::string encodeJpeg(const scene::Image& picture, int quality, std::uint32_t backdrop);

} // namespace cantorix::platform
