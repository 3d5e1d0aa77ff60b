// Checks the pictures the build generates in the program directory through the game's own
// loaders: sizes, the keyed button art and the stretchable skin rectangles.

#include "platform/pictures/jpeg_decoder.h"
#include "scene/picture_loader.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

using namespace cantorix;
using scene::Image;

namespace {

const std::filesystem::path kRoot = CANTORIX_PROGRAM_DIR;

class AssetFilesTest : public ::testing::Test {
protected:
    Image load(const std::string& relative) { return m_loader.load(kRoot / relative); }

    platform::LibJpegDecoder m_jpeg;
    scene::PictureFileLoader m_loader{m_jpeg};
};

bool samePixel(const Image& image, int x0, int y0, int x1, int y1) {
    return std::equal(image.pixel(x0, y0), image.pixel(x0, y0) + 4, image.pixel(x1, y1));
}

struct Rect {
    int left, top, right, bottom;
};

// Edges stretch along one direction, so along it every pixel must be the same.
void expectUniform(const Image& skin, Rect r, bool alongX, const char* what) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const bool same =
                alongX ? samePixel(skin, r.left, y, x, y) : samePixel(skin, x, r.top, x, y);
            ASSERT_TRUE(same) << what << " differs at " << x << "," << y;
        }
}

// Width and height from a PNG's header chunk, and its colour type (2 = RGB, 6 = RGBA).
std::array<int, 3> pngInfo(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
    if (b.size() < 26)
        return {0, 0, 0};
    auto be32 = [&](std::size_t i) {
        return b[i] << 24 | b[i + 1] << 16 | b[i + 2] << 8 | b[i + 3];
    };
    return {be32(16), be32(20), b[25]};
}

} // namespace

TEST_F(AssetFilesTest, EveryPictureLoadsAtItsSize) {
    struct Expect {
        const char* file;
        int width, height;
    };
    for (const Expect& e :
         {Expect{"data/skins/vip/bg.jpg", 766, 730},
          Expect{"data/skins/vip/defaultSkin.tga", 128, 128},
          Expect{"data/skins/vip/progress.tga", 256, 16}, Expect{"data/gfx/strip.tga", 256, 8},
          Expect{"data/gfx/OsciSkin.tga", 8, 32}, Expect{"data/gfx/track.tga", 200, 100},
          Expect{"data/gfx/track1.tga", 260, 100}, Expect{"data/gfx/song cover.jpg", 512, 512},
          Expect{"data/gfx/Song Cover.jpg", 512, 512}}) {
        const Image image = load(e.file);
        EXPECT_EQ(image.width, e.width) << e.file;
        EXPECT_EQ(image.height, e.height) << e.file;
    }
    EXPECT_EQ(pngInfo(kRoot / "data/gfx/splash.png"), (std::array<int, 3>{256, 128, 2}));
    EXPECT_EQ(pngInfo(kRoot / "data/gfx/logo.png"), (std::array<int, 3>{49, 41, 6}));
}

TEST_F(AssetFilesTest, ButtonArtIsKeyedAndInsideTheButton) {
    // Picture, smallest size it needs, and the part the button shows: its size minus offsets.
    struct Button {
        const char* file;
        int needWidth, needHeight, shownWidth, shownHeight;
    };
    for (const Button& b :
         {Button{"about.tga", 359, 250, 360, 178}, Button{"editor.tga", 185, 100, 171, 81},
          Button{"score.tga", 185, 100, 171, 83}, Button{"options.tga", 185, 100, 171, 83},
          Button{"arrow.tga", 40, 40, 24, 24}, Button{"arrow2.tga", 40, 40, 18, 24},
          Button{"Play.tga", 65, 64, 60, 60}, Button{"Rewind.tga", 65, 64, 60, 60},
          Button{"Pause.tga", 65, 64, 60, 60}}) {
        SCOPED_TRACE(b.file);
        const Image image = load(std::string("data/skins/vip/") + b.file);
        ASSERT_GE(image.width, b.needWidth);
        ASSERT_GE(image.height, b.needHeight);
        const std::uint8_t* key = image.pixel(0, 0);
        ASSERT_EQ(key[3], 0);
        int opaque = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const std::uint8_t* p = image.pixel(x, y);
                const bool isKey = std::equal(p, p + 3, key);
                ASSERT_EQ(p[3], isKey ? 0 : 255) << "at " << x << "," << y;
                if (!isKey) {
                    ++opaque;
                    ASSERT_LT(x, b.shownWidth) << "art outside the button at " << x << "," << y;
                    ASSERT_LT(y, b.shownHeight) << "art outside the button at " << x << "," << y;
                }
            }
        EXPECT_GT(opaque, b.shownWidth * b.shownHeight / 4);
    }
}

TEST_F(AssetFilesTest, SkinEdgesStretchWithoutSeams) {
    const Image skin = load("data/skins/vip/defaultSkin.tga");
    // form
    expectUniform(skin, {17, 0, 112, 30}, true, "form top");
    expectUniform(skin, {15, 120, 113, 128}, true, "form bottom");
    expectUniform(skin, {0, 31, 8, 109}, false, "form left");
    expectUniform(skin, {120, 30, 128, 111}, false, "form right");
    // panel, whose centre is also the form's centre
    expectUniform(skin, {11, 62, 40, 66}, true, "panel top");
    expectUniform(skin, {11, 93, 40, 97}, true, "panel bottom");
    expectUniform(skin, {8, 65, 12, 94}, false, "panel left");
    expectUniform(skin, {39, 65, 43, 94}, false, "panel right");
    expectUniform(skin, {11, 65, 40, 94}, true, "panel centre rows");
    expectUniform(skin, {11, 65, 40, 94}, false, "panel centre columns");
    EXPECT_LT(skin.pixel(20, 80)[3], 255) << "the body is translucent";
    EXPECT_GT(skin.pixel(20, 80)[3], 160);
    // buttons: faces shade from top to bottom, so only the rows are uniform
    expectUniform(skin, {44, 31, 54, 49}, true, "button_up middle column");
    expectUniform(skin, {61, 31, 71, 49}, true, "button_down middle column");
    expectUniform(skin, {77, 47, 87, 61}, true, "checkbox_unchecked middle column");
    expectUniform(skin, {75, 49, 89, 59}, false, "checkbox_unchecked middle row");
    expectUniform(skin, {92, 47, 102, 61}, true, "edit middle column");
    expectUniform(skin, {90, 49, 104, 59}, false, "edit middle row");
    // A light edit field and a dark pressed button: white text reads on one, dark on the other.
    EXPECT_GT(skin.pixel(96, 54)[0], 200);
    EXPECT_LT(skin.pixel(66, 40)[0], 90);
}
