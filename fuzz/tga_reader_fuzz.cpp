// Feeds arbitrary bytes to the TGA reader: it must either decode a consistent picture or throw
// EImageError, never read out of bounds or allocate without limit.

#include "scene/tga_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cantorix::scene;
    try {
        const Image image = readTga(data, size);
        if (image.empty() ||
            image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4)
            std::abort();
    } catch (const EImageError&) {
    }
    return 0;
}
