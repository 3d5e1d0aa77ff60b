#pragma once
// Small JPEG thumbnails of song covers, for the phones' song book: the cover is read as the game
// reads every picture (regular files only, within the picture loader's size limits, JPEG or PNG
// told by content, shrunk while decoding), fitted within a square with its shape kept, and
// encoded anew. Holds only stateless decoders: threads may share one maker.

#include "jpeg_decoder.h"
#include "png_decoder.h"

#include <filesystem>
#include <string>

namespace cantorix::platform {

class CoverThumbnailMaker {
public:
    static constexpr int kMaxSide = 96;
    // Thumbnails are laid over the song book's row colour where the cover is transparent.
    static constexpr std::uint32_t kBackdrop = 0x2c0f2c;

    explicit CoverThumbnailMaker(int maxSide = kMaxSide) : m_maxSide(maxSide) {}

    // The cover's thumbnail as JPEG bytes, no side above maxSide. Raises scene::EImageError,
    // naming the file, when it is missing, no regular file, too large, or not a picture.
    std::string make(const std::filesystem::path& cover);

private:
    LibJpegDecoder m_jpeg;
    LibPngDecoder m_png;
    int m_maxSide;
};

// The picture fitted within maxSide × maxSide with its shape kept (each side at least 1 pixel),
// each pixel the mean of the pixels it covers, weighted by their alpha; a picture that fits
// already is returned as it is.
scene::Image fittedWithin(const scene::Image& picture, int maxSide);

} // namespace cantorix::platform
