// Feeds arbitrary bytes to the libpng adapter, at full size and shrunk: it must either decode
// a consistent picture within the size limit or throw EImageError, and never crash or hang.

#include "platform/png_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void decodeOnce(const std::uint8_t* data, std::size_t size, int maxSide) {
    using namespace cantorix;
    platform::LibPngDecoder decoder;
    try {
        const scene::Image image = decoder.decode(data, size, maxSide);
        if (image.empty() ||
            image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4)
            std::abort();
        if (maxSide > 0 && (image.width > maxSide || image.height > maxSide))
            std::abort();
    } catch (const scene::EImageError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    decodeOnce(data, size, 0);
    decodeOnce(data, size, 37);
    return 0;
}
