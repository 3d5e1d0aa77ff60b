#pragma once
// Texts fitted to a width on screen in a bitmap font: a line shortened in its middle, where a
// song's reason or a folder's path would run over the controls beside it. Main thread (the font
// rasterises glyphs as it measures).

#include "scene/bitmap_font.h"

#include <string>

namespace cantorix::app {

enum class TextCut {
    Middle, // where a path or "Title – Artist" tells most at both ends
    End,    // where the start tells most, and what follows is a list
};

// The line as it is when it fits; else cut where asked and marked with "…", keeping as much of
// the rest as fits. "…" alone when nothing else fits.
std::string fitToWidth(scene::TGLBitmapFont& font, const std::string& line, int width,
                       TextCut cut = TextCut::Middle);

} // namespace cantorix::app
