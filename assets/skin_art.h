#pragma once
// The GUI skin image and the small textures of the session screen (staff line, oscilloscope
// bar, progress gauge, the panels behind the clock and the oscilloscope). Build-time tool;
// single thread.

#include <QImage>

namespace cantorix::assets {

// 128 x 128 with alpha. Carries the nine rectangles of every skin element ("form", "panel",
// "button_up", "button_down", "checkbox_checked", "checkbox_unchecked", "edit") at the places
// the game's skin table names; each edge is uniform along its stretch direction.
QImage guiSkin();

QImage staffLineTexture();    // 256 x 8, a soft line fading out at both ends
QImage oscilloscopeTexture(); // 8 x 32, a hot vertical bar for additive drawing
QImage progressTexture();     // 256 x 16, a glossy warm gauge
QImage clockPanel();          // 200 x 100, backdrop of the clock and the gauge
QImage scopePanel();          // 260 x 100, backdrop of the oscilloscope, with a faint graticule

} // namespace cantorix::assets
