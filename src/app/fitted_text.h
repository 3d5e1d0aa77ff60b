#pragma once
// Texts fitted to a width on screen in a bitmap font: a line shortened in its middle, a
// paragraph wrapped at its spaces. Used where a song's names or a folder's path would run over
// the controls beside them. Main thread (the font rasterises glyphs as it measures).

#include "scene/bitmap_font.h"

#include <string>
#include <vector>

namespace cantorix::app {

// The line as it is when it fits; else its middle taken out and marked with "…", keeping as
// much of both ends as fits (where a path tells most). "…" alone when nothing else fits.
std::string fitToWidth(scene::TGLBitmapFont& font, const std::string& line, int width);

// The text broken at spaces into lines no wider than width, at most maxLines of them: a word
// wider than a line is shortened as above, and a text that needs more lines ends in a last line
// shortened the same way.
std::vector<std::string> wrapToWidth(scene::TGLBitmapFont& font, const std::string& text, int width,
                                     std::size_t maxLines);

} // namespace cantorix::app
