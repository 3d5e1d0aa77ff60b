#pragma once
// The scene objects that the lyric lines and the lane views draw into; the main window owns all
// of them and hands references in. Main thread only.

#include "band_place.h"
#include "scene/bitmap_font.h"
#include "scene/colour.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <cstdint>

namespace cantorix::stage {

struct LaneScene {
    scene::TGLBaseSceneObject& singText;   // line groups: 0 current, 1 preview
    scene::TGLBaseSceneObject& tabulature; // one bar per syllable of the current line
    scene::TGLBaseSceneObject& singTab;    // voice trails; its Tag counts the bars started
    scene::TGLHUDSprite& hudSprite11;      // `GLHUDSprite11`, zeroed by every line build
    scene::TGLMaterialLibrary& materials;  // `GLMaterialLibrary1` with "Knob1" … "Knob3"
    scene::TGLBitmapFont& singingText;     // `SingingText`
    int viewerWidth = 766;                 // width W of the scene viewer in pixels
    BandPlace place{};                     // the designed place unless two bands are sung
    // The standard songs' stage: the darkened strip under the band, the band's caption (a
    // duet's voice and its singers), the countdown to the singing and the markers' font. The
    // game's own format draws none of them.
    scene::TGLHUDSprite* strip = nullptr;
    scene::TGLBaseSceneObject* fills = nullptr;   // the singers' hits on the bars
    scene::TGLBaseSceneObject* markers = nullptr; // where the singers' voices are
    scene::TGLHUDText* caption = nullptr;
    scene::TGLHUDText* countdown = nullptr;
    scene::TGLBitmapFont* markerFont = nullptr;
};

// y of a pitch on the lane: the staff follows the song's octave band.
inline double laneY(double pitch, int octaveBand, const BandPlace& place = {}) {
    return 545.0 - (pitch - 12.0 * (octaveBand - 1)) * 7.5 + place.staffShift;
}

} // namespace cantorix::stage
