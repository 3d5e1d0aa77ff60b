#include "fakes/fake_glyph_rasterizer.h"
#include "scene/render/gui_renderer.h"
#include "scene/render/text_layout.h"

#include <gtest/gtest.h>

using namespace cantorix::scene;
using namespace cantorix::scene::render;
using cantorix::scene::testing::FakeGlyphRasterizer;

namespace {

// Glyphs 8 × 10 drawn 1 right of and 2 below the pen, advance 9, lines 18 high.
class TextLayoutTest : public ::testing::Test {
protected:
    TextLayoutTest() { rasterizer.shapes[U' '] = {0, 0, 5}; }
    TextLayout place(std::string_view text, float x, float y, TAlignment a, TTextLayout l) {
        return layoutText(font, text, x, y, a, l);
    }
    FakeGlyphRasterizer rasterizer;
    TGLBitmapFont font{"f", FontSpec{"Arial", 16, false, clWhite}, rasterizer};
};

} // namespace

TEST_F(TextLayoutTest, AlignmentPlacesTheLineAroundTheAnchor) {
    const TextLayout left = place("abc", 100, 50, TAlignment::taLeftJustify, TTextLayout::tlTop);
    ASSERT_EQ(left.glyphs.size(), 3u);
    EXPECT_EQ(left.glyphs[0].screen, (RectF{101, 52, 109, 62}));
    EXPECT_EQ(left.glyphs[2].screen.left, 101 + 18);
    EXPECT_EQ(left.bounds, (RectF{100, 50, 127, 68}));

    // 27 pixels wide: the centre lands on the anchor, snapped to a whole pixel.
    const TextLayout centre = place("abc", 100, 50, TAlignment::taCenter, TTextLayout::tlTop);
    EXPECT_EQ(centre.bounds.left, 87);
    EXPECT_EQ(centre.bounds.right, 114);
    const TextLayout right = place("abc", 100, 50, TAlignment::taRightJustify, TTextLayout::tlTop);
    EXPECT_EQ(right.bounds.right, 100);
    EXPECT_EQ(right.glyphs[0].screen.left, 74);
}

TEST_F(TextLayoutTest, LayoutPlacesTheLinesAroundTheAnchor) {
    EXPECT_EQ(place("a", 0, 600, TAlignment::taLeftJustify, TTextLayout::tlCenter).bounds.top, 591);
    EXPECT_EQ(place("a", 0, 600, TAlignment::taLeftJustify, TTextLayout::tlBottom).bounds.bottom,
              600);
    // Two lines: the block is 36 high and each line keeps its own alignment.
    const TextLayout two =
        place("ab\r\nabcd", 200, 100, TAlignment::taCenter, TTextLayout::tlCenter);
    EXPECT_EQ(two.bounds, (RectF{182, 82, 218, 118}));
    ASSERT_EQ(two.glyphs.size(), 6u);
    EXPECT_EQ(two.glyphs[0].screen.left, 191 + 1);
    EXPECT_EQ(two.glyphs[2].screen.left, 182 + 1);
    EXPECT_EQ(two.glyphs[2].screen.top, 82 + 18 + 2);
}

TEST_F(TextLayoutTest, SpacesMoveThePenWithoutQuadsAndAtlasRectsMatchTheGlyphs) {
    const TextLayout t = place("a b", 0, 0, TAlignment::taLeftJustify, TTextLayout::tlTop);
    ASSERT_EQ(t.glyphs.size(), 2u);
    EXPECT_EQ(t.glyphs[1].screen.left, 9 + 5 + 1);
    const GlyphInfo& b = font.glyph(U'b');
    EXPECT_EQ(t.glyphs[1].atlas, (RectI{b.atlasX, b.atlasY, b.atlasX + 8, b.atlasY + 10}));
    EXPECT_TRUE(place("", 5, 5, TAlignment::taCenter, TTextLayout::tlTop).glyphs.empty());
}

TEST(ButtonImageTest, PictureIsDrawnOneToOneAtTheShiftedCorner) {
    TGLButton button("Start");
    button.setBounds(105, 240, 360, 186);
    // No logic size: the whole picture over the button.
    ScreenQuad q = buttonImageQuad(button, 512, 256);
    EXPECT_EQ(q.screen, (RectF{105, 240, 465, 426}));
    EXPECT_EQ(q.uv, (RectF{0, 0, 1, 1}));
    button.setLogicSize(359, 250);
    button.setOffsets(0, 8);
    q = buttonImageQuad(button, 512, 256);
    EXPECT_EQ(q.screen, (RectF{105, 248, 464, 498}));
    EXPECT_FLOAT_EQ(q.uv.left, 0);
    EXPECT_FLOAT_EQ(q.uv.top, 0);
    EXPECT_FLOAT_EQ(q.uv.right, 359.0f / 512);
    EXPECT_FLOAT_EQ(q.uv.bottom, 250.0f / 256);
}
