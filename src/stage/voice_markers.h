#pragma once
// Where each singer's voice is: a marker in the singer's colour, carrying their number so that
// singers tell apart without colour, at the semitone they sing on the lane, gliding between the
// analysis ticks. A marker off its note has a stem reaching to the note's height: the way to
// move. Silence shows no marker. Draws into the band's marker group; main thread only.

#include "scene/bitmap_font.h"
#include "scene/colour.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::stage {

inline constexpr float kMarkerSize = 16;
// Markers stand side by side this far apart, so that singers on one pitch all stay in sight.
inline constexpr float kMarkerSpacing = kMarkerSize * 0.6f;

class VoiceMarkers {
public:
    VoiceMarkers(scene::TGLBaseSceneObject& group, scene::TGLMaterialLibrary& materials,
                 scene::TGLBitmapFont* font);

    // One marker per singer: their colour and the label it carries ("1" … "8").
    void setSingers(std::vector<scene::TColor> colours, std::vector<std::string> labels);
    // Every marker hidden (a new line, or the song between lines).
    void hideAll();
    // Where the singer's voice is now: y on the lane (nullopt: silence, no marker), at x, with
    // the note being sung at noteY.
    void aim(std::size_t singer, std::optional<float> y, float x, float noteY);
    // Glides the markers toward their aims over `seconds`.
    void glide(double seconds);

private:
    struct Marker {
        scene::TGLHUDSprite* box = nullptr;
        scene::TGLHUDSprite* stem = nullptr;
        scene::TGLHUDText* label = nullptr;
        std::optional<float> y; // where it stands; nullopt while hidden
        float targetY = 0, x = 0, noteY = 0;
        bool aimed = false;
    };
    void place(Marker& marker);

    scene::TGLBaseSceneObject& m_group;
    scene::TGLMaterialLibrary& m_materials;
    scene::TGLBitmapFont* m_font;
    std::vector<Marker> m_markers;
};

} // namespace cantorix::stage
