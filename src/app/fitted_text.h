#pragma once
// Texts fitted to a width on screen in a bitmap font: a line shortened in its middle, where a
// song's reason or a folder's path would run over the controls beside it. Main thread (the font
// rasterises glyphs as it measures).

#include "scene/bitmap_font.h"

#include <string>

namespace cantorix::app {

// The line as it is when it fits; else its middle taken out and marked with "…", keeping as
// much of both ends as fits (where a path tells most). "…" alone when nothing else fits.
std::string fitToWidth(scene::TGLBitmapFont& font, const std::string& line, int width);

} // namespace cantorix::app
