#pragma once
// The scene objects that the lyric lines and the lane views draw into; the main window owns all
// of them and hands references in. Main thread only.

#include "scene/bitmap_font.h"
#include "scene/colour.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <cstdint>

namespace cantorix::stage {

struct LaneScene {
    scene::TGLBaseSceneObject& singText;   // line groups: 0 current, 1 preview
    scene::TGLBaseSceneObject& tabulature; // one bar per syllable of the current line
    scene::TGLBaseSceneObject& singTab;    // voice trail; its Tag counts anchors
    scene::TGLHUDSprite& hudSprite11;      // `GLHUDSprite11`, zeroed by every line build
    scene::TGLMaterialLibrary& materials;  // `GLMaterialLibrary1` with "Knob1" … "Knob3"
    scene::TGLBitmapFont& singingText;     // `SingingText`
    int viewerWidth = 766;                 // width W of the scene viewer in pixels
};

// y of a pitch on the lane: the staff follows the song's octave band.
inline double laneY(double pitch, int octaveBand) {
    return 545.0 - (pitch - 12.0 * (octaveBand - 1)) * 7.5;
}

// Starts a new stretch of the voice trail at the left edge of a bar: one more anchor in the
// trail group, counted in its Tag. Returns the bar's right edge, where the stretch ends.
inline double startTrailAt(LaneScene& scene, const scene::TGLHUDSprite& bar) {
    scene.singTab.setTag(scene.singTab.tag() + 1);
    auto& anchor = scene.singTab.addNewChild<scene::TGLHUDSprite>();
    scene::Vec3 p = bar.position();
    p.x -= bar.width() / 2;
    anchor.setPosition(p);
    anchor.setWidth(0.001f);
    return static_cast<double>(p.x) + bar.width();
}

} // namespace cantorix::stage
