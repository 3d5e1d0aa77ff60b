#pragma once
// Test double for the glyph rasteriser: every glyph is a solid box whose size the test chooses,
// so atlas packing and text widths can be checked without a font engine. Counts its calls.

#include "scene/bitmap_font.h"

#include <map>

namespace cantorix::scene::testing {

class FakeGlyphRasterizer : public GlyphRasterizer {
public:
    struct Shape {
        int width = 8, height = 10, advance = 9;
    };

    FontMetrics fontMetrics{12, 4, 18};
    Shape defaultShape;
    std::map<char32_t, Shape> shapes; // overrides per character; a width of 0 is an empty glyph
    int renderCalls = 0;

    FontMetrics metrics(const FontSpec&) override { return fontMetrics; }

    GlyphBitmap render(const FontSpec&, char32_t character) override {
        ++renderCalls;
        auto found = shapes.find(character);
        const Shape shape = found != shapes.end() ? found->second : defaultShape;
        GlyphBitmap bitmap;
        bitmap.advance = shape.advance;
        bitmap.left = 1;
        bitmap.top = 2;
        if (shape.width > 0 && shape.height > 0) {
            bitmap.image = Image(shape.width, shape.height);
            // Coverage encodes the character so a test can find the glyph in the atlas.
            for (int y = 0; y < shape.height; ++y)
                for (int x = 0; x < shape.width; ++x) {
                    std::uint8_t* p = bitmap.image.pixel(x, y);
                    p[0] = p[1] = p[2] = 255;
                    p[3] = coverageOf(character);
                }
        }
        return bitmap;
    }

    static std::uint8_t coverageOf(char32_t character) {
        return static_cast<std::uint8_t>(1 + character % 255);
    }
};

} // namespace cantorix::scene::testing
