#include "scene/image.h"
#include "scene/picture_loader.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace cantorix::scene;

namespace {

using Bytes = std::vector<std::uint8_t>;

Image greyRamp(std::initializer_list<std::uint8_t> values, std::uint8_t alpha) {
    Image image(static_cast<int>(values.size()), 1);
    int x = 0;
    for (std::uint8_t v : values) {
        std::uint8_t* p = image.pixel(x++, 0);
        p[0] = p[1] = p[2] = v;
        p[3] = alpha;
    }
    return image;
}

} // namespace

TEST(AdjustBrightnessGammaTest, NeutralSettingsCopyThePicture) {
    const Image source = greyRamp({0, 1, 127, 128, 254, 255}, 77);
    const Image out = adjustBrightnessGamma(source, 1.0f, 1.0f);
    EXPECT_EQ(out.width, source.width);
    EXPECT_EQ(out.rgba, source.rgba);
}

TEST(AdjustBrightnessGammaTest, AppliesBrightnessThenGammaToColourOnly) {
    // The hover look of the menu buttons: brightness 1.2, gamma 1.2.
    Image out = adjustBrightnessGamma(greyRamp({0, 64, 128, 200, 255}, 40), 1.2f, 1.2f);
    const std::vector<int> want{0, 94, 167, 242, 255};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(out.pixel(x, 0)[0], want[static_cast<std::size_t>(x)]) << "x " << x;
        EXPECT_EQ(out.pixel(x, 0)[2], want[static_cast<std::size_t>(x)]);
        EXPECT_EQ(out.pixel(x, 0)[3], 40) << "alpha stays";
    }
    out = adjustBrightnessGamma(greyRamp({64, 100, 200}, 255), 1.0f, 2.0f);
    EXPECT_EQ(out.pixel(0, 0)[1], 128); // 255 * sqrt(64 / 255) = 127.75
    out = adjustBrightnessGamma(greyRamp({100, 200}, 255), 2.0f, 1.0f);
    EXPECT_EQ(out.pixel(0, 0)[0], 200);
    EXPECT_EQ(out.pixel(1, 0)[0], 255) << "clamped";
    out = adjustBrightnessGamma(greyRamp({100}, 255), 1.0f, 0.0f);
    EXPECT_EQ(out.pixel(0, 0)[0], 100) << "a meaningless gamma is ignored";
}

namespace {

class FakeJpegDecoder : public JpegDecoder {
public:
    Image decode(const std::uint8_t* data, std::size_t size, int maxSide) override {
        bytes.assign(data, data + size);
        lastMaxSide = maxSide;
        ++calls;
        if (!failWith.empty())
            throw EImageError(failWith);
        return Image(2, 3);
    }
    Bytes bytes;
    int lastMaxSide = -1;
    int calls = 0;
    std::string failWith;
};

class PictureFileLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_dir = std::filesystem::temp_directory_path() /
                ("cantorix_picture_test_" + std::to_string(::getpid()) + "_" + test);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path write(const std::string& name, const Bytes& bytes) {
        const auto path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::string errorOf(const std::filesystem::path& file) {
        try {
            m_loader.load(file);
        } catch (const EImageError& e) {
            return e.what();
        }
        return "no error";
    }

    // A 1 x 1 uncompressed 24-bit TGA holding one orange pixel.
    static Bytes tinyTga() {
        Bytes b(18, 0);
        b[2] = 2;
        b[12] = b[14] = 1;
        b[16] = 24;
        b.insert(b.end(), {0x10, 0x80, 0xF0});
        return b;
    }

    std::filesystem::path m_dir;
    FakeJpegDecoder m_jpeg;
    PictureFileLoader m_loader{m_jpeg, 256};
};

} // namespace

TEST_F(PictureFileLoaderTest, DispatchesByCaseInsensitiveExtension) {
    const Image tga = m_loader.load(write("strip.TGA", tinyTga()));
    ASSERT_EQ(tga.width, 1);
    EXPECT_EQ(tga.rgba, (Bytes{0xF0, 0x80, 0x10, 0xFF}));
    EXPECT_EQ(m_jpeg.calls, 0);

    const Bytes jpegBytes{0xFF, 0xD8, 1, 2, 3};
    for (const char* name : {"cover.jpg", "Song Cover.JPEG"}) {
        const Image jpeg = m_loader.load(write(name, jpegBytes));
        EXPECT_EQ(jpeg.width, 2);
        EXPECT_EQ(m_jpeg.bytes, jpegBytes);
        EXPECT_EQ(m_jpeg.lastMaxSide, 256);
    }
    EXPECT_EQ(m_jpeg.calls, 2);
}

TEST_F(PictureFileLoaderTest, EveryErrorNamesTheFile) {
    const auto missing = m_dir / "data" / "gfx" / "strip.tga";
    EXPECT_EQ(errorOf(missing), "Cannot read picture '" + missing.string() + "': file not found");

    Bytes cut = tinyTga();
    cut.pop_back();
    const auto strip = write("strip.tga", cut);
    EXPECT_EQ(errorOf(strip), "Cannot read picture '" + strip.string() + "': truncated pixel data");

    m_jpeg.failWith = "Not a JPEG file: starts with 0x00 0x00";
    const auto cover = write("cover.jpg", Bytes(4, 0));
    EXPECT_EQ(errorOf(cover), "Cannot read picture '" + cover.string() +
                                  "': Not a JPEG file: starts with 0x00 0x00");

    const auto bmp = write("splash.bmp", tinyTga());
    EXPECT_EQ(errorOf(bmp),
              "Cannot read picture '" + bmp.string() + "': unsupported picture type '.bmp'");
    EXPECT_EQ(errorOf(m_dir), "Cannot read picture '" + m_dir.string() +
                                  "': no file extension to tell the picture type");
    std::filesystem::create_directory(m_dir / "folder.tga");
    EXPECT_EQ(errorOf(m_dir / "folder.tga"),
              "Cannot read picture '" + (m_dir / "folder.tga").string() + "': not a file");
}

TEST(HalvedImageTest, EachLevelAveragesTheSourcePixelsItCovers) {
    // A ramp along x and another along y, alpha falling: any pixel taken from the wrong place or
    // a row or column left out changes some mean.
    const auto ramp = [](int width, int height) {
        Image image(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = image.pixel(x, y);
                p[0] = static_cast<std::uint8_t>(10 * x);
                p[1] = static_cast<std::uint8_t>(10 * y);
                p[2] = 100;
                p[3] = static_cast<std::uint8_t>(255 - 5 * (x + y));
            }
        return image;
    };
    struct Case {
        int width, height, halfWidth, halfHeight;
    };
    for (const Case c : {Case{4, 4, 2, 2}, Case{5, 3, 2, 1}, Case{7, 1, 3, 1}, Case{1, 6, 1, 3},
                         Case{1, 1, 1, 1}, Case{766, 730, 383, 365}}) {
        const Image source = ramp(c.width, c.height);
        const Image half = halvedImage(source);
        ASSERT_EQ(half.width, c.halfWidth) << c.width << "x" << c.height;
        ASSERT_EQ(half.height, c.halfHeight) << c.width << "x" << c.height;
        // Every source pixel counts once: the means of the level's pixels, weighted by the
        // pixels each covers, give the source's mean.
        for (int channel = 0; channel < 4; ++channel) {
            double sourceSum = 0;
            for (int y = 0; y < source.height; ++y)
                for (int x = 0; x < source.width; ++x)
                    sourceSum += source.pixel(x, y)[channel];
            double halfSum = 0;
            for (int y = 0; y < half.height; ++y)
                for (int x = 0; x < half.width; ++x) {
                    const int columns =
                        c.width == 1 ? 1 : (x == half.width - 1 ? c.width - 2 * x : 2);
                    const int rows =
                        c.height == 1 ? 1 : (y == half.height - 1 ? c.height - 2 * y : 2);
                    halfSum += half.pixel(x, y)[channel] * columns * rows;
                }
            EXPECT_NEAR(halfSum / (c.width * c.height), sourceSum / (c.width * c.height), 0.5)
                << c.width << "x" << c.height << " channel " << channel;
        }
    }
    // The 5 x 3 case by hand: the last column of three and the three rows fold in.
    const Image half = halvedImage(ramp(5, 3));
    EXPECT_EQ(half.pixel(0, 0)[0], 5);  // x 0..1 → 0, 10
    EXPECT_EQ(half.pixel(1, 0)[0], 30); // x 2..4 → 20, 30, 40
    EXPECT_EQ(half.pixel(0, 0)[1], 10); // y 0..2 → 0, 10, 20
    EXPECT_TRUE(halvedImage(Image()).empty());
}
