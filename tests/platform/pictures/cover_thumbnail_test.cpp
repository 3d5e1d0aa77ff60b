// Cover thumbnails for the phones' song book: fitted within 96 x 96 with their shape and colours
// kept, transparency laid over the row's colour, and every cover that is no picture refused
// with its name.

#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "platform/pictures/cover_thumbnail.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/pictures/jpeg_encoder.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;
using scene::Image;

// Four quadrants: red, green, blue, white; opaque unless alpha says otherwise.
Image quadrants(int width, int height, std::uint8_t alpha = 255) {
    static const std::uint8_t colours[4][3] = {
        {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    Image picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int q = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
            std::uint8_t* p = picture.pixel(x, y);
            std::copy(colours[q], colours[q] + 3, p);
            p[3] = alpha;
        }
    return picture;
}

std::string png(const Image& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_get_memory_size(image, size, 0, picture.rgba.data(), 0, nullptr));
    std::string out(size, '\0');
    EXPECT_TRUE(
        png_image_write_to_memory(&image, out.data(), &size, 0, picture.rgba.data(), 0, nullptr));
    out.resize(size);
    return out;
}

Image decoded(const std::string& jpeg) {
    LibJpegDecoder decoder;
    return decoder.decode(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size());
}

// Each channel within a JPEG's error of the expected colour.
void expectColour(const Image& picture, int x, int y, std::array<int, 3> rgb) {
    const std::uint8_t* p = picture.pixel(x, y);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(p[c], rgb[c], 24) << "channel " << c << " at " << x << "," << y;
}

class CoverThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-thumbnails-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(CoverThumbnailTest, CoversFitWithin96PixelsWithTheirShapeAndColoursKept) {
    const struct {
        const char* name;
        std::string bytes;
        int width, height;
    } rows[] = {
        {"wide.jpg", encodeJpeg(quadrants(600, 400), 95, 0), 96, 64},
        {"tall.jpg", encodeJpeg(quadrants(300, 1200), 95, 0), 24, 96},
        {"huge.jpg", encodeJpeg(quadrants(3000, 3000), 90, 0), 96, 96},
        {"small.jpg", encodeJpeg(quadrants(40, 30), 95, 0), 40, 30},
        {"square.png", png(quadrants(500, 500)), 96, 96},
        // A cover named for one type and holding the other is read by its content.
        {"really-png.jpg", png(quadrants(200, 100)), 96, 48},
    };
    CoverThumbnailMaker maker;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        cantorix::testing::writeFile(m_dir / row.name, row.bytes);
        const std::string thumbnail = maker.make(m_dir / row.name);
        ASSERT_GE(thumbnail.size(), 3u);
        EXPECT_EQ(thumbnail.substr(0, 3), "\xFF\xD8\xFF") << "a JPEG";
        const Image shown = decoded(thumbnail);
        EXPECT_EQ(shown.width, row.width);
        EXPECT_EQ(shown.height, row.height);
        // The middle of each quadrant keeps its colour, in its place.
        const int w = shown.width, h = shown.height;
        expectColour(shown, w / 4, h / 4, {255, 0, 0});
        expectColour(shown, 3 * w / 4, h / 4, {0, 255, 0});
        expectColour(shown, w / 4, 3 * h / 4, {0, 0, 255});
        expectColour(shown, 3 * w / 4, 3 * h / 4, {255, 255, 255});
    }
}

TEST_F(CoverThumbnailTest, TransparencyShowsTheRowsColour) {
    cantorix::testing::writeFile(m_dir / "clear.png", png(quadrants(200, 200, 0)));
    const Image shown = decoded(CoverThumbnailMaker().make(m_dir / "clear.png"));
    for (const auto& [x, y] : {std::pair{10, 10}, std::pair{80, 20}, std::pair{40, 90}})
        expectColour(shown, x, y, {0x2c, 0x0f, 0x2c});
}

TEST_F(CoverThumbnailTest, ACoverThatIsNoPictureIsRefusedWithItsName) {
    const std::string jpeg = encodeJpeg(quadrants(300, 300), 90, 0);
    cantorix::testing::writeFile(m_dir / "text.jpg", "not a picture at all");
    cantorix::testing::writeFile(m_dir / "cut.jpg", jpeg.substr(0, jpeg.size() / 2));
    cantorix::testing::writeFile(m_dir / "empty.png", "");
    cantorix::testing::writeFile(m_dir / "notes.txt", "a cover named .txt");
    fs::create_directories(m_dir / "folder.jpg");
    cantorix::testing::makeFifo(m_dir / "pipe.jpg");
    CoverThumbnailMaker maker;
    for (const char* name :
         {"text.jpg", "cut.jpg", "empty.png", "notes.txt", "folder.jpg", "pipe.jpg", "gone.jpg"}) {
        SCOPED_TRACE(name);
        try {
            maker.make(m_dir / name);
            ADD_FAILURE() << "made a thumbnail";
        } catch (const scene::EImageError& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace cantorix::platform
