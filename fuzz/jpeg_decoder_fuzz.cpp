// Feeds arbitrary bytes to the libjpeg adapter.

#include "picture_decoder_check.h"
#include "platform/pictures/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkPictureDecoder<cantorix::platform::LibJpegDecoder>(data, size);
    return 0;
}
