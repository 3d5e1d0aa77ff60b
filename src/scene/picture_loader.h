#pragma once
// The scene's picture file loader: reads the file and decodes it by its extension, TGA with our
// own reader and JPEG through the JpegDecoder port. Errors name the file.

#include "image.h"

namespace cantorix::scene {

class PictureFileLoader : public ImageLoader {
public:
    explicit PictureFileLoader(JpegDecoder& jpeg, int maxJpegSide = 0) : m_jpeg(jpeg), m_maxJpegSide(maxJpegSide) {}
    Image load(const std::filesystem::path& file) override;

private:
    JpegDecoder& m_jpeg;
    int m_maxJpegSide;
};

} // namespace cantorix::scene
