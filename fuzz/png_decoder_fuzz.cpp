// Feeds arbitrary bytes to the libpng adapter.

#include "picture_decoder_check.h"
#include "platform/pictures/png_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkPictureDecoder<cantorix::platform::LibPngDecoder>(data, size);
    return 0;
}
