#pragma once
// The larger pictures: the stage backdrop behind every screen, the fallback song cover, the
// splash bitmap, the about-box logo and the desktop icon. Build-time tool; single thread.

#include <QImage>

namespace cantorix::assets {

// 766 x 730. Quiet where the cover slab (centre right) and the menu buttons (lower left) sit.
QImage stageBackdrop();
QImage fallbackCover(); // 512 x 512, beamed notes over record grooves and the wordmark
QImage splashPicture(); // 256 x 128, opaque on white (the splash panel is white)
QImage aboutLogo();     // 49 x 41 with alpha
// The desktop icon, size x size with alpha: the logo's badge made square, drawn at 256 and
// scaled, so every size shows the same picture.
QImage appIcon(int size);

} // namespace cantorix::assets
