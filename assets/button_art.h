#pragma once
// The image buttons of the main menu, the cover arrows and the session transport. Each picture
// is opaque art on the key colour (its top-left pixel), drawn so that the part the button shows
// sits inside the button: the game draws the picture from its top-left corner moved by the
// button's offsets. Build-time tool; single thread.

#include <QColor>
#include <QImage>

namespace cantorix::assets {

// Pure magenta: no drawing of ours uses it, so it can be the transparent colour.
inline const QColor kKeyColour{255, 0, 255};

QImage startButton();                 // 360 x 256, plate within 359 x 178
QImage menuButton(const char* label); // 185 x 100, plate within 171 x 80
enum class ArrowDirection { Left, Right };
QImage arrowButton(ArrowDirection direction); // 40 x 40, arrow within 24 x 24 (right: 18 x 24)
enum class TransportSymbol { Play, Pause, Rewind };
QImage transportButton(TransportSymbol symbol); // 65 x 64, round plate within 60 x 60

} // namespace cantorix::assets
