#pragma once
// JPEG decoding through libjpeg-turbo for the scene's JpegDecoder port. Holds no state: every
// call builds its own decompressor, so loader threads may share one instance.

#include "scene/jpeg_decoder_port.h"

namespace cantorix::platform {

class LibJpegDecoder : public scene::JpegDecoder {
public:
    // Greyscale, YCbCr and CMYK pictures come out as RGBA with alpha 255. With maxSide > 0 the
    // picture is shrunk by DCT scaling (1/2, 1/4, 1/8) and, if still too big, by averaging
    // pixel blocks, so that no side exceeds maxSide. Truncated or corrupt data and pictures
    // wider or higher than 16384 pixels (without maxSide) raise EImageError.
    scene::Image decode(const std::uint8_t* data, std::size_t size, int maxSide = 0) override;
};

} // namespace cantorix::platform
