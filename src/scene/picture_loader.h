#pragma once
// The scene's picture file loader: reads the file and decodes it by its content, JPEG through
// the JpegDecoder port and PNG through the PngDecoder port; TGA, which has no signature, by its
// extension with our own reader. Errors name the file.

#include "image.h"

namespace cantorix::scene {

// Decodes PNG bytes (EImageError when they are not a readable PNG). With maxSide > 0 the
// decoder shrinks the picture so no side exceeds maxSide.
class PngDecoder {
public:
    virtual ~PngDecoder() = default;
    virtual Image decode(const std::uint8_t* data, std::size_t size, int maxSide = 0) = 0;
};

class PictureFileLoader : public ImageLoader {
public:
    // Without a PNG decoder, PNG pictures are refused with a message.
    explicit PictureFileLoader(JpegDecoder& jpeg, int maxJpegSide = 0)
        : m_jpeg(jpeg), m_maxJpegSide(maxJpegSide) {}
    // maxSide bounds JPEG and PNG pictures alike.
    PictureFileLoader(JpegDecoder& jpeg, PngDecoder& png, int maxSide = 0)
        : m_jpeg(jpeg), m_png(&png), m_maxJpegSide(maxSide) {}
    Image load(const std::filesystem::path& file) override;

private:
    JpegDecoder& m_jpeg;
    PngDecoder* m_png = nullptr;
    int m_maxJpegSide;
};

} // namespace cantorix::scene
