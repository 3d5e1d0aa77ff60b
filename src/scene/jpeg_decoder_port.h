#pragma once
// Port: JpegDecoder. Adapter: platform/pictures/jpeg_decoder.h.
// The decoding of JPEG bytes that the picture loader hands on; one picture per call, on the
// calling thread.

#include "image.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::scene {

// Decodes JPEG bytes (EImageError when they are not a readable JPEG). With maxSide > 0 the
// decoder may shrink the picture by DCT scaling (1/2, 1/4, 1/8) so no side exceeds maxSide.
class JpegDecoder {
public:
    virtual ~JpegDecoder() = default;
    virtual Image decode(const std::uint8_t* data, std::size_t size, int maxSide = 0) = 0;
};

} // namespace cantorix::scene
