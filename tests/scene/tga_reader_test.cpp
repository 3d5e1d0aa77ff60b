#include "scene/tga_reader.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace cantorix::scene;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgba = std::array<std::uint8_t, 4>;

constexpr std::uint8_t kTopDown = 0x20;
constexpr std::uint8_t kRightToLeft = 0x10;

Bytes header(int type, int width, int height, int depth, std::uint8_t descriptor = 0,
             std::uint8_t idLength = 0) {
    Bytes h(18, 0);
    h[0] = idLength;
    h[2] = static_cast<std::uint8_t>(type);
    h[12] = static_cast<std::uint8_t>(width & 0xff);
    h[13] = static_cast<std::uint8_t>(width >> 8);
    h[14] = static_cast<std::uint8_t>(height & 0xff);
    h[15] = static_cast<std::uint8_t>(height >> 8);
    h[16] = static_cast<std::uint8_t>(depth);
    h[17] = descriptor;
    return h;
}

// Appends one pixel in the file's BGR(A) order.
void put(Bytes& b, Rgba c, int depth) {
    b.insert(b.end(), {c[2], c[1], c[0]});
    if (depth == 32)
        b.push_back(c[3]);
}

Rgba at(const Image& image, int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
}

Image read(const Bytes& b) {
    return readTga(b.data(), b.size());
}

std::string errorOf(const Bytes& b) {
    try {
        read(b);
    } catch (const EImageError& e) {
        return e.what();
    }
    return "no error";
}

const Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 128}, kBlue{0, 0, 255, 0},
    kWhite{255, 255, 255, 255}, kGrey{90, 80, 70, 60}, kBlack{0, 0, 0, 255};

// Six distinct pixels of a 3 x 2 picture, in reading order (top row first).
const std::array<Rgba, 6> kSix{kRed, kGreen, kBlue, kWhite, kGrey, kBlack};

void expectSix(const Image& image, bool withAlpha) {
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    for (int i = 0; i < 6; ++i) {
        Rgba want = kSix[static_cast<std::size_t>(i)];
        if (!withAlpha)
            want[3] = 255;
        EXPECT_EQ(at(image, i % 3, i / 3), want) << "pixel " << i;
    }
}

} // namespace

TEST(TgaReaderTest, UncompressedInBothOriginsAndDepths) {
    for (int depth : {24, 32}) {
        Bytes bottomUp = header(2, 3, 2, depth);
        for (int i : {3, 4, 5, 0, 1, 2}) // bottom row first
            put(bottomUp, kSix[static_cast<std::size_t>(i)], depth);
        expectSix(read(bottomUp), depth == 32);

        Bytes topDown = header(2, 3, 2, depth, kTopDown | (depth == 32 ? 8 : 0));
        for (const Rgba& c : kSix)
            put(topDown, c, depth);
        expectSix(read(topDown), depth == 32);
    }
}

TEST(TgaReaderTest, RightToLeftRowsAreMirrored) {
    Bytes b = header(2, 3, 2, 32, kTopDown | kRightToLeft);
    for (int i : {2, 1, 0, 5, 4, 3})
        put(b, kSix[static_cast<std::size_t>(i)], 32);
    expectSix(read(b), true);
}

TEST(TgaReaderTest, SkipsIdFieldAndColourMap) {
    Bytes b = header(2, 3, 2, 32, kTopDown, 5);
    b[1] = 1;  // colour map present
    b[5] = 2;  // two entries
    b[7] = 24; // of three bytes each
    b.insert(b.end(), {'h', 'e', 'l', 'l', 'o'});
    b.insert(b.end(), 6, 0xEE);
    for (const Rgba& c : kSix)
        put(b, c, 32);
    expectSix(read(b), true);
}

TEST(TgaReaderTest, RunLengthPacketsCrossRows) {
    for (int depth : {24, 32}) {
        for (bool topDown : {false, true}) {
            // 3 x 2: a run of four greys, then a raw packet of red and green, crossing the row
            // boundary in the middle of the run.
            Bytes b = header(10, 3, 2, depth, topDown ? kTopDown : 0);
            b.push_back(0x80 | 3);
            put(b, kGrey, depth);
            b.push_back(1);
            put(b, kRed, depth);
            put(b, kGreen, depth);
            const Image image = read(b);
            const int first = topDown ? 0 : 1; // the row the file stores first
            Rgba grey = kGrey, green = kGreen;
            if (depth == 24)
                grey[3] = green[3] = 255;
            EXPECT_EQ(at(image, 0, first), grey);
            EXPECT_EQ(at(image, 2, first), grey);
            EXPECT_EQ(at(image, 0, 1 - first), grey);
            EXPECT_EQ(at(image, 1, 1 - first), kRed);
            EXPECT_EQ(at(image, 2, 1 - first), green);
        }
    }
}

TEST(TgaReaderTest, LongRunFillsWholePicture) {
    Bytes b = header(10, 16, 8, 24); // 128 pixels: exactly one full-length run
    b.push_back(0xFF);
    put(b, kBlue, 24);
    const Image image = read(b);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(at(image, x, y), (Rgba{0, 0, 255, 255}));
}

TEST(TgaReaderTest, TruncatedFilesAreErrors) {
    EXPECT_EQ(errorOf({}), "truncated header");
    EXPECT_EQ(errorOf(Bytes(17, 0)), "truncated header");
    EXPECT_EQ(errorOf(header(2, 1, 1, 24, 0, 40)), "truncated header"); // ID field cut off

    Bytes pixels = header(2, 2, 2, 32);
    for (int i = 0; i < 3; ++i)
        put(pixels, kRed, 32);
    EXPECT_EQ(errorOf(pixels), "truncated pixel data");
    pixels.insert(pixels.end(), 3, 0); // one byte short of the fourth pixel
    EXPECT_EQ(errorOf(pixels), "truncated pixel data");

    Bytes rle = header(10, 4, 4, 24);
    rle.push_back(0x80 | 9);
    put(rle, kRed, 24);
    EXPECT_EQ(errorOf(rle), "truncated pixel data"); // six pixels never come
    rle.push_back(2);                                // raw packet of three, data for one
    put(rle, kRed, 24);
    EXPECT_EQ(errorOf(rle), "truncated pixel data");
}

TEST(TgaReaderTest, RunPastTheLastPixelIsAnError) {
    Bytes b = header(10, 2, 2, 24);
    b.push_back(0x80 | 4); // five pixels into a picture of four
    put(b, kRed, 24);
    EXPECT_EQ(errorOf(b), "run-length packet runs past the end of the picture");
}

TEST(TgaReaderTest, RejectsUnsupportedKinds) {
    EXPECT_EQ(errorOf(header(1, 2, 2, 8)), "colour-mapped pictures are not supported (type 1)");
    EXPECT_EQ(errorOf(header(11, 2, 2, 8)), "greyscale pictures are not supported (type 11)");
    EXPECT_EQ(errorOf(header(32, 2, 2, 24)), "unsupported picture type 32");
    EXPECT_EQ(errorOf(header(2, 2, 2, 16)), "unsupported pixel depth 16 (only 24 and 32 bits)");
    Bytes badMap = header(2, 1, 1, 24);
    badMap[1] = 7;
    EXPECT_EQ(errorOf(badMap), "invalid colour map type 7");
}

TEST(TgaReaderTest, RejectsEmptyAndHugePicturesBeforeAllocating) {
    EXPECT_EQ(errorOf(header(2, 0, 5, 24)), "picture has no pixels (0 x 5)");
    EXPECT_EQ(errorOf(header(10, 7, 0, 32)), "picture has no pixels (7 x 0)");
    EXPECT_EQ(errorOf(header(2, 20000, 3, 24)), "picture too large (20000 x 3)");
    // 16384 x 16384 RLE from a five-byte packet: refused by the expansion bound.
    Bytes rle = header(10, 16384, 16384, 32);
    rle.push_back(0xFF);
    put(rle, kRed, 32);
    EXPECT_EQ(errorOf(rle), "truncated pixel data");
}
