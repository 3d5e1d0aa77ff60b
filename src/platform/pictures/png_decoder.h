#pragma once
// PNG decoding through libpng for the scene's PngDecoder port (covers and backgrounds of
// standard songs). Holds no state: every call reads on its own, so loader threads may share
// one instance.

#include "scene/png_decoder_port.h"

namespace cantorix::platform {

class LibPngDecoder : public scene::PngDecoder {
public:
    // Every colour type and bit depth comes out as 8-bit RGBA (alpha kept). With maxSide > 0
    // the picture is shrunk by averaging pixel blocks so that no side exceeds maxSide.
    // Truncated or corrupt data and pictures wider or higher than 16384 pixels raise EImageError.
    scene::Image decode(const std::uint8_t* data, std::size_t size, int maxSide = 0) override;
};

} // namespace cantorix::platform
