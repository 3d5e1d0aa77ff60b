// How fast the JPEG decoder refuses a picture whose header claims 65 296 x 65 296 pixels: the
// refusal must come from the header, before any row is allocated or decoded (the target is well
// under a second). Whole and with a side limit, where the data ends long before the rows do.

#include "platform/pictures/jpeg_decoder.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

using namespace cantorix;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A small grey baseline JPEG whose frame header then states 65 296 x 65 296.
Bytes forgedJpeg() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = cinfo.image_height = 16;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(16, 128);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    for (std::size_t sof = 2; sof + 9 < jpeg.size(); ++sof)
        if (jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0) {
            jpeg[sof + 5] = jpeg[sof + 7] = 0xFF;
            jpeg[sof + 6] = jpeg[sof + 8] = 0x10;
            break;
        }
    return jpeg;
}

void refuseForgedSize(benchmark::State& state) {
    const Bytes jpeg = forgedJpeg();
    const int maxSide = static_cast<int>(state.range(0));
    platform::LibJpegDecoder decoder;
    for (auto _ : state) {
        bool refused = false;
        try {
            decoder.decode(jpeg.data(), jpeg.size(), maxSide);
        } catch (const scene::EImageError&) {
            refused = true;
        }
        benchmark::DoNotOptimize(refused);
        if (!refused)
            state.SkipWithError("the forged picture was decoded");
    }
}
BENCHMARK(refuseForgedSize)->Arg(0)->Arg(256)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
