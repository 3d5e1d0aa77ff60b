#pragma once
// The scene objects and the song that the lyric lines and the note lane draw into; the main
// window owns all of them and hands references in. Main thread only.

#include "scene/bitmap_font.h"
#include "scene/colour.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"
#include "songs/song_file.h"

#include <cstdint>

namespace cantorix::session {

struct LaneScene {
    scene::TGLBaseSceneObject& singText;   // line groups: 0 current, 1 preview
    scene::TGLBaseSceneObject& tabulature; // one bar per syllable of the current line
    scene::TGLBaseSceneObject& singTab;    // voice trail; its Tag counts anchors
    scene::TGLHUDSprite& hudSprite11;      // `GLHUDSprite11`, zeroed by every line build
    scene::TGLMaterialLibrary& materials;  // `GLMaterialLibrary1` with "Knob1" … "Knob3"
    scene::TGLBitmapFont& singingText;     // `SingingText`
    int viewerWidth = 766;                 // width W of the scene viewer in pixels
};

// `CurrentBeat` until the lead-in has passed.
inline constexpr std::int32_t kBeatBeforeLeadIn = -500;

// LyricsState values: running; the lyrics' last line is laid out; the last note has ended.
inline constexpr int kLyricsRunning = 0;
inline constexpr int kLyricsEndInView = 1;
inline constexpr int kLyricsFinished = 2;

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

} // namespace cantorix::session
