#include "scene/render/qt_glyph_rasterizer.h"

#include <QFontInfo>
#include <gtest/gtest.h>

using namespace cantorix::scene;
using namespace cantorix::scene::render;

namespace {

int maxAlpha(const Image& image) {
    int best = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            best = std::max<int>(best, image.pixel(x, y)[3]);
    return best;
}

} // namespace

TEST(QtGlyphRasterizerTest, GameFacesResolveToInstalledFamilies) {
    QtGlyphRasterizer rasterizer;
    const std::pair<const char*, const char*> faces[] = {{"Arial", "Liberation Sans"},
                                                         {"Digit", "DSEG7 Classic"},
                                                         {"Lucida Sans", "DejaVu Sans"},
                                                         {"MS Sans Serif", "DejaVu Sans"}};
    for (const auto& [face, family] : faces) {
        const QFontInfo info(rasterizer.fontFor(FontSpec{face, 16, false, clWhite}));
        EXPECT_EQ(info.family().toStdString(), family) << face;
    }
}

TEST(QtGlyphRasterizerTest, HeightIsTheCellOrWithAMinusTheCharacterHeight) {
    QtGlyphRasterizer rasterizer;
    const FontMetrics cell = rasterizer.metrics(FontSpec{"Arial", 27, true, clWhite});
    EXPECT_NEAR(cell.ascent + cell.descent, 27, 1);
    EXPECT_GE(cell.lineHeight, cell.ascent + cell.descent);
    // The em of Liberation Sans is about 0.9 of its cell.
    EXPECT_EQ(rasterizer.fontFor(FontSpec{"Arial", 16, false, clWhite}).pixelSize(), 14);
    EXPECT_EQ(rasterizer.fontFor(FontSpec{"Arial", -16, false, clWhite}).pixelSize(), 16);
    EXPECT_GT(rasterizer.fontFor(FontSpec{"Arial", 0, false, clWhite}).pixelSize(), 0);
}

TEST(QtGlyphRasterizerTest, ArtistInBoldArialHasAPlausibleWidth) {
    QtGlyphRasterizer rasterizer;
    TGLBitmapFont bold("GLStoredBitmapFont1", FontSpec{"Arial", 16, true, clSilver}, rasterizer);
    TGLBitmapFont regular("Menufont2", FontSpec{"Arial", 16, false, clWhite}, rasterizer);
    const int boldWidth = bold.textWidth("Artist");
    const int regularWidth = regular.textWidth("Artist");
    EXPECT_GE(boldWidth, 33);
    EXPECT_LE(boldWidth, 42);
    EXPECT_GT(boldWidth, regularWidth);
    EXPECT_GT(bold.textWidth("Artist Artist"), 2 * boldWidth);
}

TEST(QtGlyphRasterizerTest, GlyphsAreWhiteCoverageBelowTheLineTop) {
    QtGlyphRasterizer rasterizer;
    const FontSpec style{"Arial", 27, true, clWhite};
    const FontMetrics m = rasterizer.metrics(style);
    const GlyphBitmap h = rasterizer.render(style, U'H');
    ASSERT_FALSE(h.image.empty());
    EXPECT_EQ(maxAlpha(h.image), 255);
    EXPECT_EQ(h.image.pixel(0, 0)[0], 255);
    EXPECT_GT(h.advance, 10);
    // A capital stands on the baseline: its ink ends near the ascent and starts near the top.
    EXPECT_NEAR(h.top + h.image.height, m.ascent, 3);
    EXPECT_LT(h.top, m.ascent / 2);
    // A descender reaches below the baseline.
    const GlyphBitmap g = rasterizer.render(style, U'g');
    EXPECT_GT(g.top + g.image.height, m.ascent + 2);

    const GlyphBitmap space = rasterizer.render(style, U' ');
    EXPECT_TRUE(space.image.empty());
    EXPECT_GT(space.advance, 0);
    // Characters beyond the Basic Multilingual Plane do not break the rasteriser.
    EXPECT_GE(rasterizer.render(style, U'\U0001F3A4').advance, 0);
}
