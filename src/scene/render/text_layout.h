#pragma once
// Places the glyphs of a bitmap-font text around an anchor point, line by line, for HUD texts
// and control captions alike. Pure layout (the font may rasterise glyphs it has not seen yet);
// main thread only.

#include "scene/bitmap_font.h"
#include "scene/gui/gui_layout.h"
#include "scene/scene_nodes.h"

#include <string_view>
#include <vector>

namespace cantorix::scene::render {

struct PlacedGlyph {
    RectF screen; // viewer pixels, y down
    RectI atlas;  // pixels of the font's atlas
    // What was placed and where its pen and line top were, so the glyph can be drawn from the
    // same face rasterised at a larger size in the same place.
    char32_t character = 0;
    float pen = 0, lineTop = 0;
};

struct TextLayout {
    std::vector<PlacedGlyph> glyphs;
    RectF bounds; // the line boxes: advance widths by line heights
};

// Lines are separated by '\n' (a '\r' before it is ignored). Alignment places each line's
// left edge, centre or right edge at x; the layout puts the first line's top, the middle of
// all lines, or the last line's bottom at y. Line starts are snapped to whole pixels so glyphs
// map one atlas texel to one pixel.
TextLayout layoutText(TGLBitmapFont& font, std::string_view utf8, float x, float y,
                      TAlignment alignment, TTextLayout layout);

// The height of one line of the font.
int lineHeightOf(const TGLBitmapFont& font);

} // namespace cantorix::scene::render
