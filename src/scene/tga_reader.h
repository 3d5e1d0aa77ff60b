#pragma once
// Reader of Truevision TGA pictures: 24- and 32-bit true colour, uncompressed (type 2) and
// run-length encoded (type 10), either origin. Pure function over bytes.

#include "image.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::scene {

// Decodes to RGBA (24-bit pictures get alpha 255). Throws EImageError on a corrupt, truncated
// or unsupported file; never reads past size.
Image readTga(const std::uint8_t* data, std::size_t size);

} // namespace cantorix::scene
