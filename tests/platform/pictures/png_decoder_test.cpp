// PNG pictures through libpng, and the picture loader choosing its decoder by the content.

#include "platform/mp3_test_files.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/pictures/png_decoder.h"
#include "scene/picture_loader.h"

#include <gtest/gtest.h>
#include <png.h>
#include <vector>

namespace cantorix::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t crc32Of(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// A PNG of the given libpng format (channels implied) from pixel bytes.
Bytes encodePng(int width, int height, png_uint_32 format, const Bytes& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, nullptr));
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr));
    out.resize(size);
    return out;
}

TEST(LibPngDecoderTest, EveryColourTypeComesOutAsRgba) {
    struct Case {
        const char* name;
        png_uint_32 format;
        Bytes pixels; // two pixels
        Bytes rgba;   // what they read as
    };
    const Case cases[] = {
        {"grey", PNG_FORMAT_GRAY, {0, 200}, {0, 0, 0, 255, 200, 200, 200, 255}},
        {"grey alpha", PNG_FORMAT_GA, {10, 0, 90, 128}, {10, 10, 10, 0, 90, 90, 90, 128}},
        {"rgb", PNG_FORMAT_RGB, {1, 2, 3, 250, 128, 7}, {1, 2, 3, 255, 250, 128, 7, 255}},
        {"rgba", PNG_FORMAT_RGBA, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"bgr", PNG_FORMAT_BGR, {3, 2, 1, 7, 128, 250}, {1, 2, 3, 255, 250, 128, 7, 255}},
    };
    LibPngDecoder decoder;
    for (const Case& c : cases) {
        const Bytes png = encodePng(2, 1, c.format, c.pixels);
        const scene::Image image = decoder.decode(png.data(), png.size());
        EXPECT_EQ(image.width, 2) << c.name;
        EXPECT_EQ(image.height, 1) << c.name;
        EXPECT_EQ(image.rgba, c.rgba) << c.name;
    }
}

TEST(LibPngDecoderTest, LargePicturesShrinkByAveragingBlocks) {
    // 5 x 2: columns alternate 0 and 100 in red; shrunk to at most 2 wide by blocks of 3.
    Bytes pixels;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            pixels.insert(pixels.end(), {std::uint8_t(x % 2 ? 100 : 0), 50, 0, 255});
    const Bytes png = encodePng(5, 2, PNG_FORMAT_RGBA, pixels);
    const scene::Image small = LibPngDecoder().decode(png.data(), png.size(), 2);
    ASSERT_EQ(small.width, 2);
    ASSERT_EQ(small.height, 1);
    EXPECT_EQ(small.pixel(0, 0)[0], 33) << "0, 100, 0 twice";
    EXPECT_EQ(small.pixel(1, 0)[0], 50) << "100, 0 at the edge";
    EXPECT_EQ(small.pixel(1, 0)[1], 50);
}

TEST(LibPngDecoderTest, DamagedAndHugePicturesAreRefused) {
    const Bytes png = encodePng(2, 1, PNG_FORMAT_RGB, {1, 2, 3, 4, 5, 6});
    LibPngDecoder decoder;
    const Bytes garbage(100, 0x42);
    EXPECT_THROW(decoder.decode(garbage.data(), garbage.size()), scene::EImageError);
    const Bytes cut(png.begin(), png.begin() + long(png.size() - 20));
    EXPECT_THROW(decoder.decode(cut.data(), cut.size()), scene::EImageError);
    // A header claiming 100000 x 1 pixels (with a recomputed checksum) is refused unread.
    Bytes huge = png;
    huge[16] = 0, huge[17] = 1, huge[18] = 0x86, huge[19] = 0xA0;
    const std::uint32_t crc = crc32Of(huge.data() + 12, 17);
    huge[29] = crc >> 24, huge[30] = crc >> 16 & 0xFF, huge[31] = crc >> 8 & 0xFF,
    huge[32] = crc & 0xFF;
    try {
        decoder.decode(huge.data(), huge.size());
        ADD_FAILURE() << "opened";
    } catch (const scene::EImageError& e) {
        EXPECT_STREQ(e.what(), "picture too large (100000 x 1)");
    }
}

// Covers are chosen by what they hold: a PNG called .jpg and a JPEG called .png both load.
TEST(PictureLoaderContentTest, TheContentChoosesTheDecoder) {
    testing::TempDir dir;
    LibJpegDecoder jpeg;
    LibPngDecoder png;
    scene::PictureFileLoader loader(jpeg, png);
    testing::writeBytes(dir / "cover.jpg", encodePng(3, 2, PNG_FORMAT_RGB, Bytes(18, 9)));
    const scene::Image fromPng = loader.load(dir / "cover.jpg");
    EXPECT_EQ(fromPng.width, 3);
    EXPECT_EQ(fromPng.pixel(2, 1)[0], 9);
    // The demo clip's maker is not needed: ffmpeg writes the JPEG.
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i color=c=red:s=8x4 "
                                "-frames:v 1 -f mjpeg '" +
                                (dir / "cover.png").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const scene::Image fromJpeg = loader.load(dir / "cover.png");
    EXPECT_EQ(fromJpeg.width, 8);
    EXPECT_GT(fromJpeg.pixel(0, 0)[0], 200);
    // Without a PNG decoder the loader says so.
    scene::PictureFileLoader jpegOnly(jpeg);
    EXPECT_THROW(jpegOnly.load(dir / "cover.jpg"), scene::EImageError);
}

} // namespace
} // namespace cantorix::platform
