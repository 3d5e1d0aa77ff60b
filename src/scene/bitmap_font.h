#pragma once
// A bitmap font: glyphs of one face, height, style and colour rasterised on demand into an atlas
// image that the renderer uploads whenever it grows. The rasteriser is a port so the layout
// logic (text widths) is testable without a windowing system. Main thread only.

#include "colour.h"
#include "image.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace cantorix::scene {

struct FontSpec {
    std::string face; // "Arial", "Digit", "Lucida Sans", "MS Sans Serif"
    int height = 16;  // pixels; a negative height is the character height without leading
    bool bold = false;
    TColor colour = clWhite;
};

struct GlyphBitmap {
    Image image;     // white-on-transparent coverage in alpha; colour is applied when drawn
    int advance = 0; // pixels the pen moves after this glyph
    int left = 0;    // offset of the image's left edge from the pen
    int top = 0;     // offset of the image's top edge below the line's top
};

struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int lineHeight = 0;
};

class GlyphRasterizer {
public:
    virtual ~GlyphRasterizer() = default;
    virtual FontMetrics metrics(const FontSpec& style) = 0;
    virtual GlyphBitmap render(const FontSpec& style, char32_t character) = 0;
};

struct GlyphInfo {
    int advance = 0, left = 0, top = 0;
    int atlasX = 0, atlasY = 0, width = 0, height = 0;
};

class TGLBitmapFont {
public:
    TGLBitmapFont(std::string name, FontSpec style, GlyphRasterizer& rasterizer);

    const std::string& name() const { return m_name; }
    const FontSpec& style() const { return m_style; }
    const FontMetrics& metrics() const { return m_metrics; }
    // The rasteriser the glyphs come from, so a renderer can make the same face at another size.
    GlyphRasterizer& rasterizer() const { return m_rasterizer; }

    // Width in pixels of a UTF-8 text drawn in this font.
    int textWidth(std::string_view utf8);
    // The glyph of one character, rasterised and packed into the atlas on first use.
    const GlyphInfo& glyph(char32_t character);

    // Coverage atlas (alpha), and a revision that changes whenever glyphs were added.
    const Image& atlas() const { return m_atlas; }
    std::uint64_t revision() const { return m_revision; }

private:
    void pack(char32_t character, const GlyphBitmap& bitmap);
    void growAtlas();

    std::string m_name;
    FontSpec m_style;
    GlyphRasterizer& m_rasterizer;
    FontMetrics m_metrics;
    std::unordered_map<char32_t, GlyphInfo> m_glyphs;
    Image m_atlas;
    int m_penX = 1, m_penY = 1, m_rowHeight = 0;
    std::uint64_t m_revision = 1;
};

// Decodes UTF-8 into code points; malformed bytes decode as U+FFFD.
std::u32string utf8CodePoints(std::string_view text);

} // namespace cantorix::scene
