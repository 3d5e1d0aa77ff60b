#pragma once
// The check both picture decoders' fuzz targets make of arbitrary bytes, at full size and shrunk:
// a consistent picture within the size limit, or EImageError; never a crash or a hang.

#include "scene/image.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

template <class Decoder> void checkPictureDecoder(const std::uint8_t* data, std::size_t size) {
    for (const int maxSide : {0, 37}) {
        Decoder decoder;
        try {
            const cantorix::scene::Image image = decoder.decode(data, size, maxSide);
            if (image.empty() ||
                image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4)
                std::abort();
            if (maxSide > 0 && (image.width > maxSide || image.height > maxSide))
                std::abort();
        } catch (const cantorix::scene::EImageError&) {
        }
    }
}
