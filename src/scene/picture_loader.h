#pragma once
// The scene's picture file loader: reads the file and decodes it by its content, JPEG through
// the JpegDecoder port and PNG through the PngDecoder port; TGA, which has no signature, by its
// extension with our own reader. Errors name the file.

#include "image.h"
#include "jpeg_decoder_port.h"
#include "png_decoder_port.h"

namespace cantorix::scene {

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
