#include "fakes/fake_glyph_rasterizer.h"
#include "scene/bitmap_font.h"

#include <gtest/gtest.h>
#include <set>

using namespace cantorix::scene;
using cantorix::scene::testing::FakeGlyphRasterizer;

namespace {

class BitmapFontTest : public ::testing::Test {
protected:
    FakeGlyphRasterizer rasterizer;
    FontSpec style{"Arial", 16, true, clSilver};
};

bool overlaps(const GlyphInfo& a, const GlyphInfo& b) {
    return a.atlasX < b.atlasX + b.width && b.atlasX < a.atlasX + a.width &&
           a.atlasY < b.atlasY + b.height && b.atlasY < a.atlasY + a.height;
}

// Every pixel of the glyph's box carries its coverage, and the pixels around it are empty.
void expectGlyphInAtlas(const Image& atlas, const GlyphInfo& g, std::uint8_t coverage) {
    ASSERT_GE(g.atlasX, 1);
    ASSERT_GE(g.atlasY, 1);
    ASSERT_LT(g.atlasX + g.width, atlas.width);
    ASSERT_LT(g.atlasY + g.height, atlas.height);
    for (int y = g.atlasY - 1; y <= g.atlasY + g.height; ++y)
        for (int x = g.atlasX - 1; x <= g.atlasX + g.width; ++x) {
            const bool inside =
                x >= g.atlasX && x < g.atlasX + g.width && y >= g.atlasY && y < g.atlasY + g.height;
            ASSERT_EQ(atlas.pixel(x, y)[3], inside ? coverage : 0) << "at " << x << "," << y;
            ASSERT_EQ(atlas.pixel(x, y)[0], 255);
        }
}

} // namespace

TEST_F(BitmapFontTest, RasterisesEachGlyphOnceAndBumpsRevisionOnlyForNewPixels) {
    rasterizer.shapes[U' '] = {0, 0, 5};
    TGLBitmapFont font("Menufont1", style, rasterizer);
    EXPECT_EQ(font.metrics().lineHeight, 18);
    const auto start = font.revision();

    const GlyphInfo& a = font.glyph(U'A');
    EXPECT_EQ(a.advance, 9);
    EXPECT_EQ(a.left, 1);
    EXPECT_EQ(a.top, 2);
    EXPECT_GT(font.revision(), start);
    const auto afterA = font.revision();

    font.glyph(U'A');
    font.textWidth("AAA");
    EXPECT_EQ(rasterizer.renderCalls, 1);
    EXPECT_EQ(font.revision(), afterA);

    // A space has no pixels: it is remembered but the atlas does not change.
    EXPECT_EQ(font.glyph(U' ').width, 0);
    EXPECT_EQ(font.revision(), afterA);
    font.glyph(U' ');
    EXPECT_EQ(rasterizer.renderCalls, 2);
}

TEST_F(BitmapFontTest, PacksGlyphsOnShelvesWithoutOverlap) {
    TGLBitmapFont font("f", style, rasterizer);
    rasterizer.shapes[U'b'] = {20, 30, 21}; // a taller glyph makes the first shelf 30 high
    std::vector<std::pair<char32_t, GlyphInfo>> packed;
    for (char32_t c = U'a'; c <= U'z'; ++c)
        packed.emplace_back(c, font.glyph(c));
    std::set<int> shelves;
    for (std::size_t i = 0; i < packed.size(); ++i) {
        shelves.insert(packed[i].second.atlasY);
        expectGlyphInAtlas(font.atlas(), packed[i].second,
                           FakeGlyphRasterizer::coverageOf(packed[i].first));
        for (std::size_t j = i + 1; j < packed.size(); ++j)
            EXPECT_FALSE(overlaps(packed[i].second, packed[j].second)) << i << " and " << j;
    }
    // 25 glyphs 9 px apart and one 21 px: more than one 128-pixel shelf, the second below the
    // tallest glyph of the first.
    EXPECT_EQ(font.atlas().width, 128);
    ASSERT_GE(shelves.size(), 2u);
    EXPECT_EQ(*std::next(shelves.begin()), 1 + 30 + 1);
}

TEST_F(BitmapFontTest, AtlasGrowsByDoublingAndKeepsEarlierGlyphs) {
    rasterizer.defaultShape = {30, 40, 31};
    TGLBitmapFont font("big", style, rasterizer);
    const GlyphInfo first = font.glyph(U'A');
    std::uint64_t revision = font.revision();
    int growths = 0;
    int lastArea = font.atlas().width * font.atlas().height;
    for (char32_t c = U'B'; c < U'B' + 60; ++c) {
        font.glyph(c);
        EXPECT_GT(font.revision(), revision);
        revision = font.revision();
        const int area = font.atlas().width * font.atlas().height;
        if (area != lastArea) {
            EXPECT_EQ(area, 2 * lastArea);
            ++growths;
            lastArea = area;
        }
    }
    EXPECT_GE(growths, 3);
    // Sides stay within a factor of two of each other.
    EXPECT_LE(std::max(font.atlas().width, font.atlas().height),
              2 * std::min(font.atlas().width, font.atlas().height));
    const GlyphInfo& again = font.glyph(U'A');
    EXPECT_EQ(again.atlasX, first.atlasX);
    EXPECT_EQ(again.atlasY, first.atlasY);
    expectGlyphInAtlas(font.atlas(), again, FakeGlyphRasterizer::coverageOf(U'A'));
    expectGlyphInAtlas(font.atlas(), font.glyph(U'B' + 59),
                       FakeGlyphRasterizer::coverageOf(U'B' + 59));
}

TEST_F(BitmapFontTest, GlyphWiderThanTheAtlasWidensIt) {
    TGLBitmapFont font("f", style, rasterizer);
    font.glyph(U'a');
    rasterizer.shapes[U'W'] = {300, 20, 300};
    const GlyphInfo& wide = font.glyph(U'W');
    EXPECT_GE(font.atlas().width, 302);
    expectGlyphInAtlas(font.atlas(), wide, FakeGlyphRasterizer::coverageOf(U'W'));
    expectGlyphInAtlas(font.atlas(), font.glyph(U'a'), FakeGlyphRasterizer::coverageOf(U'a'));
}

TEST_F(BitmapFontTest, BadGlyphBitmapsAreRefusedWithAClearError) {
    struct Broken : FakeGlyphRasterizer {
        GlyphBitmap render(const FontSpec& s, char32_t c) override {
            GlyphBitmap b = FakeGlyphRasterizer::render(s, c);
            b.image.rgba.resize(3);
            return b;
        }
    } broken;
    TGLBitmapFont font("broken", style, broken);
    EXPECT_THROW(font.glyph(U'x'), std::invalid_argument);

    rasterizer.shapes[U'H'] = {9000, 10, 10};
    TGLBitmapFont huge("huge", style, rasterizer);
    EXPECT_THROW(huge.glyph(U'H'), std::invalid_argument);
    EXPECT_EQ(huge.glyph(U'i').width, 8); // the font stays usable
}

TEST_F(BitmapFontTest, TextWidthSumsAdvancesPerLine) {
    rasterizer.shapes[U'i'] = {2, 10, 4};
    rasterizer.shapes[U'\u00e9'] = {8, 12, 11};
    rasterizer.shapes[U' '] = {0, 0, 5};
    TGLBitmapFont font("f", style, rasterizer);
    EXPECT_EQ(font.textWidth(""), 0);
    EXPECT_EQ(font.textWidth("Hi"), 9 + 4);
    EXPECT_EQ(font.textWidth("H i"), 9 + 5 + 4);
    EXPECT_EQ(font.textWidth("\xC3\xA9t\xC3\xA9"), 11 + 9 + 11); // "été"
    // Several lines: the widest one.
    EXPECT_EQ(font.textWidth("ii\nHHH\ni"), 27);
}

TEST(Utf8CodePointsTest, DecodesAllSequenceLengths) {
    EXPECT_EQ(utf8CodePoints("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xA4"), U"A\u00e9\u20ac\U0001F3A4");
    EXPECT_EQ(utf8CodePoints(std::string_view("a\0b", 3)), std::u32string(U"a\0b", 3));
    EXPECT_EQ(utf8CodePoints("\xF4\x8F\xBF\xBF"), U"\U0010FFFF");
}

TEST(Utf8CodePointsTest, MalformedInputBecomesReplacementCharacters) {
    // Windows-1252 "café" and a lone continuation byte: one U+FFFD per bad byte.
    EXPECT_EQ(utf8CodePoints("caf\xE9"), U"caf\uFFFD");
    EXPECT_EQ(utf8CodePoints("\x80x"), U"\uFFFDx");
    // Overlong forms, a surrogate and a value beyond U+10FFFF.
    EXPECT_EQ(utf8CodePoints("\xC0\xAF"), U"\uFFFD\uFFFD");
    EXPECT_EQ(utf8CodePoints("\xE0\x80\xAF"), U"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8CodePoints("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8CodePoints("\xF4\x90\x80\x80"), U"\uFFFD\uFFFD\uFFFD\uFFFD");
    // A sequence cut short is one replacement, and the byte that cut it is kept.
    EXPECT_EQ(utf8CodePoints("\xE2\x82"), U"\uFFFD");
    EXPECT_EQ(utf8CodePoints("\xE2\x82Z"), U"\uFFFDZ");
    EXPECT_EQ(utf8CodePoints("\xF0\x9F\x8E"), U"\uFFFD");
}
