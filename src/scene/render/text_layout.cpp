#include "text_layout.h"

#include <algorithm>
#include <cmath>

namespace cantorix::scene::render {

namespace {

float snap(float v) {
    return std::floor(v + 0.5f);
}

std::vector<std::u32string> splitLines(std::string_view utf8) {
    std::vector<std::u32string> lines(1);
    for (char32_t c : utf8CodePoints(utf8)) {
        if (c == U'\n')
            lines.emplace_back();
        else if (c != U'\r')
            lines.back().push_back(c);
    }
    return lines;
}

} // namespace

int lineHeightOf(const TGLBitmapFont& font) {
    const FontMetrics& m = font.metrics();
    return std::max({m.lineHeight, m.ascent + m.descent, 1});
}

TextLayout layoutText(TGLBitmapFont& font, std::string_view utf8, float x, float y,
                      TAlignment alignment, TTextLayout layout) {
    const std::vector<std::u32string> lines = splitLines(utf8);
    const float lineHeight = static_cast<float>(lineHeightOf(font));
    const float blockHeight = lineHeight * static_cast<float>(lines.size());
    float top = y;
    if (layout == TTextLayout::tlCenter)
        top = y - blockHeight / 2.0f;
    else if (layout == TTextLayout::tlBottom)
        top = y - blockHeight;
    top = snap(top);

    TextLayout out;
    out.bounds = {x, top, x, top + blockHeight};
    bool first = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int width = 0;
        for (char32_t c : lines[i])
            width += font.glyph(c).advance;
        float left = x;
        if (alignment == TAlignment::taCenter)
            left = x - static_cast<float>(width) / 2.0f;
        else if (alignment == TAlignment::taRightJustify)
            left = x - static_cast<float>(width);
        left = snap(left);
        const float lineTop = top + lineHeight * static_cast<float>(i);
        out.bounds.left = first ? left : std::min(out.bounds.left, left);
        out.bounds.right = first ? left + width : std::max(out.bounds.right, left + width);
        first = false;
        float pen = left;
        for (char32_t c : lines[i]) {
            const GlyphInfo& g = font.glyph(c);
            if (g.width > 0 && g.height > 0) {
                const float gx = pen + static_cast<float>(g.left);
                const float gy = lineTop + static_cast<float>(g.top);
                out.glyphs.push_back({{gx, gy, gx + g.width, gy + g.height},
                                      {g.atlasX, g.atlasY, g.atlasX + g.width, g.atlasY + g.height},
                                      c,
                                      pen,
                                      lineTop});
            }
            pen += static_cast<float>(g.advance);
        }
    }
    return out;
}

} // namespace cantorix::scene::render
