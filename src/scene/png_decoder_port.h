#pragma once
// Port: PngDecoder. Adapter: platform/pictures/png_decoder.h.
// The decoding of PNG bytes that the picture loader hands on; one picture per call, on the
// calling thread.

#include "image.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::scene {

// Decodes PNG bytes (EImageError when they are not a readable PNG). With maxSide > 0 the
// decoder shrinks the picture so no side exceeds maxSide.
class PngDecoder {
public:
    virtual ~PngDecoder() = default;
    virtual Image decode(const std::uint8_t* data, std::size_t size, int maxSide = 0) = 0;
};

} // namespace cantorix::scene
