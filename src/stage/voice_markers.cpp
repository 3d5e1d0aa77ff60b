#include "voice_markers.h"

#include "stage_palette.h"

#include <cmath>

namespace cantorix::stage {

namespace {

// The share of the way to its aim a marker covers in a second's sixtieth: quick enough to follow
// a melisma, slow enough that the 50 ms steps of the analysis read as a glide.
constexpr double kGlidePerFrame = 0.35;
constexpr double kFrameSeconds = 1.0 / 60.0;
// Nearer its note than this, a marker is on it and needs no stem.
constexpr float kOnNote = 4;
constexpr float kStemWidth = 3;

} // namespace

VoiceMarkers::VoiceMarkers(scene::TGLBaseSceneObject& group, scene::TGLMaterialLibrary& materials,
                           scene::TGLBitmapFont* font)
    : m_group(group), m_materials(materials), m_font(font) {}

void VoiceMarkers::setSingers(std::vector<scene::TColor> colours, std::vector<std::string> labels) {
    m_group.deleteChildren();
    m_markers.clear();
    for (std::size_t k = 0; k < colours.size(); ++k) {
        Marker marker;
        const scene::MaterialRef colour = singerMaterial(m_materials, colours[k]);
        marker.stem = &m_group.addNewChild<scene::TGLHUDSprite>();
        marker.stem->setMaterial(colour);
        marker.stem->setWidth(kStemWidth);
        marker.box = &m_group.addNewChild<scene::TGLHUDSprite>();
        marker.box->setMaterial(colour);
        marker.box->setWidth(kMarkerSize);
        marker.box->setHeight(kMarkerSize);
        marker.label = &m_group.addNewChild<scene::TGLHUDText>();
        marker.label->setFont(m_font);
        marker.label->setText(k < labels.size() ? labels[k] : std::to_string(k + 1));
        marker.label->setAlignment(scene::TAlignment::taCenter);
        marker.label->setLayout(scene::TTextLayout::tlCenter);
        marker.label->setModulateColor({0, 0, 0, 1});
        m_markers.push_back(marker);
    }
    hideAll();
}

void VoiceMarkers::hideAll() {
    for (Marker& marker : m_markers) {
        marker.y.reset();
        marker.aimed = false;
        place(marker);
    }
}

void VoiceMarkers::aim(std::size_t singer, std::optional<float> y, float x, float noteY) {
    if (singer >= m_markers.size())
        return;
    Marker& marker = m_markers[singer];
    marker.x = x + kMarkerSpacing *
                       (static_cast<float>(singer) - static_cast<float>(m_markers.size() - 1) / 2);
    marker.noteY = noteY;
    marker.aimed = y.has_value();
    if (!y) {
        marker.y.reset();
    } else {
        marker.targetY = *y;
        if (!marker.y)
            marker.y = *y; // a voice that comes in appears where it is
    }
    place(marker);
}

void VoiceMarkers::glide(double seconds) {
    const double share = 1.0 - std::pow(1.0 - kGlidePerFrame, seconds / kFrameSeconds);
    for (Marker& marker : m_markers) {
        if (!marker.y || !marker.aimed)
            continue;
        marker.y = *marker.y + static_cast<float>((marker.targetY - *marker.y) * share);
        place(marker);
    }
}

void VoiceMarkers::place(Marker& marker) {
    const bool shown = marker.y.has_value();
    marker.box->setVisible(shown);
    marker.label->setVisible(shown);
    const float off = shown ? *marker.y - marker.noteY : 0;
    marker.stem->setVisible(shown && std::fabs(off) > kOnNote + kMarkerSize / 2);
    if (!shown)
        return;
    marker.box->setPosition({marker.x, *marker.y, 0});
    marker.label->setPosition({marker.x, *marker.y, 0});
    // The stem runs from the marker's edge to the note's height: the way to move.
    const float edge = *marker.y - std::copysign(kMarkerSize / 2, off);
    marker.stem->setPosition({marker.x, (edge + marker.noteY) / 2, 0});
    marker.stem->setHeight(std::fabs(edge - marker.noteY));
}

} // namespace cantorix::stage
