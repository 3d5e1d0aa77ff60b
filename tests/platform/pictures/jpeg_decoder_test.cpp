#include "platform/pictures/jpeg_decoder.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <string>
#include <vector>

using namespace cantorix;
using scene::EImageError;
using scene::Image;

namespace {

using Bytes = std::vector<std::uint8_t>;
using PixelFn = std::function<void(int x, int y, std::uint8_t* out)>;

// Compresses a picture whose samples come from pixel(); components 1, 3 or 4 (CMYK with the
// Adobe marker, stored inverted as such files are).
Bytes writeJpeg(int width, int height, int components, const PixelFn& pixel,
                bool progressive = false) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width * components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x)
            pixel(x, static_cast<int>(cinfo.next_scanline),
                  &row[static_cast<std::size_t>(x * components)]);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// Four quadrants: red, green, blue, white.
void quadrants(int w, int h, int x, int y, std::uint8_t* out) {
    const bool right = x >= w / 2, bottom = y >= h / 2;
    const int q = (bottom ? 2 : 0) + (right ? 1 : 0);
    static const std::uint8_t colours[4][3] = {
        {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (int c = 0; c < 3; ++c)
        out[c] = colours[q][c];
}

Bytes quadrantJpeg(int w, int h, bool progressive = false) {
    return writeJpeg(
        w, h, 3, [w, h](int x, int y, std::uint8_t* o) { quadrants(w, h, x, y, o); }, progressive);
}

void expectColour(const Image& image, int x, int y, int r, int g, int b) {
    const std::uint8_t* p = image.pixel(x, y);
    EXPECT_NEAR(p[0], r, 8) << "at " << x << "," << y;
    EXPECT_NEAR(p[1], g, 8) << "at " << x << "," << y;
    EXPECT_NEAR(p[2], b, 8) << "at " << x << "," << y;
    EXPECT_EQ(p[3], 255);
}

void expectQuadrants(const Image& image) {
    const int w = image.width, h = image.height;
    expectColour(image, w / 4, h / 4, 255, 0, 0);
    expectColour(image, 3 * w / 4, h / 4, 0, 255, 0);
    expectColour(image, w / 4, 3 * h / 4, 0, 0, 255);
    expectColour(image, 3 * w / 4, 3 * h / 4, 255, 255, 255);
}

std::string errorOf(const Bytes& bytes, int maxSide = 0) {
    platform::LibJpegDecoder decoder;
    try {
        decoder.decode(bytes.data(), bytes.size(), maxSide);
    } catch (const EImageError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(JpegDecoderTest, DecodesColourGreyAndCmykToRgba) {
    platform::LibJpegDecoder decoder;
    for (bool progressive : {false, true}) {
        const Bytes jpeg = quadrantJpeg(64, 48, progressive);
        const Image image = decoder.decode(jpeg.data(), jpeg.size());
        ASSERT_EQ(image.width, 64);
        ASSERT_EQ(image.height, 48);
        ASSERT_EQ(image.rgba.size(), 64u * 48 * 4);
        expectQuadrants(image);
    }

    const Bytes grey =
        writeJpeg(16, 16, 1, [](int x, int, std::uint8_t* o) { *o = x < 8 ? 40 : 200; });
    const Image g = decoder.decode(grey.data(), grey.size());
    expectColour(g, 2, 5, 40, 40, 40);
    expectColour(g, 13, 5, 200, 200, 200);

    // Full cyan ink on the left, half black on the right; written inverted (0 = full ink).
    const Bytes cmyk = writeJpeg(16, 16, 4, [](int x, int, std::uint8_t* o) {
        const bool left = x < 8;
        o[0] = left ? 0 : 255;
        o[1] = 255;
        o[2] = 255;
        o[3] = left ? 255 : 128;
    });
    const Image c = decoder.decode(cmyk.data(), cmyk.size());
    expectColour(c, 2, 8, 0, 255, 255);
    expectColour(c, 13, 8, 128, 128, 128);
}

TEST(JpegDecoderTest, ShrinksByDctScalingToFitMaxSide) {
    platform::LibJpegDecoder decoder;
    const Bytes jpeg = quadrantJpeg(801, 601);
    struct Case {
        int maxSide, width, height;
    };
    for (const Case& c : {Case{0, 801, 601}, Case{1000, 801, 601}, Case{801, 801, 601},
                          Case{800, 401, 301}, Case{400, 201, 151}, Case{101, 101, 76}}) {
        const Image image = decoder.decode(jpeg.data(), jpeg.size(), c.maxSide);
        EXPECT_EQ(image.width, c.width) << "maxSide " << c.maxSide;
        EXPECT_EQ(image.height, c.height) << "maxSide " << c.maxSide;
        expectQuadrants(image);
    }
}

TEST(JpegDecoderTest, AveragesBlocksWhenAnEighthIsNotEnough) {
    platform::LibJpegDecoder decoder;
    const Bytes jpeg = quadrantJpeg(800, 600);
    // 1/8 gives 100 x 75; averaging 2 x 2 blocks gives 50 x 38 (the last row from one line).
    Image image = decoder.decode(jpeg.data(), jpeg.size(), 50);
    EXPECT_EQ(image.width, 50);
    EXPECT_EQ(image.height, 38);
    ASSERT_EQ(image.rgba.size(), 50u * 38 * 4);
    expectQuadrants(image);
    image = decoder.decode(jpeg.data(), jpeg.size(), 7);
    EXPECT_EQ(image.width, 7);
    EXPECT_EQ(image.height, 5);
}

TEST(JpegDecoderTest, CorruptAndTruncatedDataAreErrors) {
    EXPECT_EQ(errorOf({}), "empty file");
    EXPECT_EQ(errorOf({0x89, 'P', 'N', 'G', 0, 0}), "Not a JPEG file: starts with 0x89 0x50");

    for (bool progressive : {false, true}) {
        const Bytes jpeg = quadrantJpeg(64, 64, progressive);
        for (std::size_t keep :
             {std::size_t{2}, std::size_t{40}, jpeg.size() / 2, jpeg.size() - 40})
            EXPECT_NE(errorOf(Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(keep))),
                      "no error")
                << "kept " << keep << " of " << jpeg.size();
    }
    const Bytes whole = quadrantJpeg(64, 64);
    EXPECT_EQ(errorOf(Bytes(whole.begin(), whole.end() - 200)), "Premature end of JPEG file");

    // Scrambled entropy data still gives a picture of the right size or a clean error.
    Bytes scrambled = quadrantJpeg(64, 64);
    for (std::size_t i = scrambled.size() / 2; i < scrambled.size() - 2; i += 7)
        scrambled[i] ^= 0x5A;
    platform::LibJpegDecoder decoder;
    try {
        const Image image = decoder.decode(scrambled.data(), scrambled.size());
        EXPECT_EQ(image.rgba.size(), 64u * 64 * 4);
    } catch (const EImageError&) {
    }
}

TEST(JpegDecoderTest, ForgedHugeDimensionsFailFast) {
    Bytes jpeg = quadrantJpeg(16, 16);
    std::size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0))
        ++sof;
    ASSERT_LT(sof + 9, jpeg.size());
    jpeg[sof + 5] = jpeg[sof + 7] = 0xFF; // height and width 65 296
    jpeg[sof + 6] = jpeg[sof + 8] = 0x10;
    // How fast the refusal comes is a figure of forged_jpeg_bench.
    EXPECT_EQ(errorOf(jpeg), "picture too large (65296 x 65296)");
    EXPECT_NE(errorOf(jpeg, 256), "no error"); // the data ends long before the rows do
}
