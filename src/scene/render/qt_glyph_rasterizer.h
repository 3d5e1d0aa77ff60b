#pragma once
// Rasterises bitmap-font glyphs with Qt's font engine (fontconfig underneath), mapping the
// game's Windows face names to installed free faces. Needs a QGuiApplication; main thread only.

#include "scene/bitmap_font.h"

#include <QFont>
#include <map>
#include <tuple>

namespace cantorix::scene::render {

class QtGlyphRasterizer : public GlyphRasterizer {
public:
    FontMetrics metrics(const FontSpec& style) override;
    GlyphBitmap render(const FontSpec& style, char32_t character) override;

    // The installed family that stands in for a face name; unknown names pass through.
    static QString familyFor(const std::string& face);
    // The Qt font for a style. A negative height is the character (em) height and becomes the
    // pixel size as it is; a positive height is the cell height (ascent plus descent), so the
    // pixel size is scaled by the face's em-to-cell ratio; 0 means a 16-pixel cell.
    QFont fontFor(const FontSpec& style);

private:
    using Key = std::tuple<std::string, int, bool>;
    std::map<Key, QFont> m_fonts;
};

} // namespace cantorix::scene::render
