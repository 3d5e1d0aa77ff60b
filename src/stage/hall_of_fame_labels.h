#pragma once
// Puts the ranked hall-of-fame rows on screen as label pairs under the GUI control `Holder`,
// replacing the rows shown before. The labels belong to the holder. Main thread only.

#include "scene/bitmap_font.h"
#include "scene/colour.h"
#include "scene/gui/gui_control.h"
#include "session/hall_of_fame.h"

#include <vector>

namespace cantorix::stage {

// How the rows look: the bitmap font, the skin and the text colour of the labels.
struct HallOfFameLook {
    scene::TGLBitmapFont* font = nullptr;
    scene::TGLGuiLayout* layout = nullptr;
    scene::TColor colour = scene::clWhite;
};

// Row i (from 0) gets a caption label at (120, 280 + 45 × i) and a score label at (550, same),
// relative to the holder.
void showHallOfFameRows(scene::TGLBaseControl& holder,
                        const std::vector<session::HallOfFameRow>& rows,
                        const HallOfFameLook& look);

} // namespace cantorix::stage
