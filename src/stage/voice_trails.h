#pragma once
// The voice trails of a band's singers, drawn into the band's trail group (`SingTab`). Without
// colours the one trail goes straight into the group, as the designed screen draws it; with
// colours trail k is the group's child k, a group of its own whose Tag counts its anchors and
// whose segments wear colour k. The group's own Tag counts the bars whose stretch has started.
// Owns nothing but the trail materials' colours; main thread only.

#include "scene/colour.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <cstddef>
#include <string>
#include <vector>

namespace cantorix::stage {

class VoiceTrails {
public:
    VoiceTrails(scene::TGLBaseSceneObject& group, scene::TGLMaterialLibrary& materials);

    // One colour per trail (index = trail); none keeps the designed single trail in "Knob3".
    // The trail materials take the opacity "Knob3" has at this call and at each startSession.
    // Empties the group: the trails start again at the next bar.
    void setColours(std::vector<scene::TColor> colours);
    std::size_t trailCount() const { return m_colours.empty() ? 1 : m_colours.size(); }

    // A new session: the group emptied and every trail drawn again.
    void startSession();
    // A new line: the group emptied.
    void clear();
    // Starts a stretch of every trail still drawn at the left edge of bar and returns the bar's
    // right edge, where the stretches end.
    double startAt(const scene::TGLHUDSprite& bar);

    // The singer's input is gone: nothing more is drawn for the trail this session.
    void markLost(std::size_t trail);
    bool lost(std::size_t trail) const;

    // The group a trail's next segment goes into, or nullptr when nothing is to be drawn: the
    // trail is lost or out of range, or no stretch of it has started on this line.
    scene::TGLBaseSceneObject* drawable(std::size_t trail) const;
    // Adds a segment of the trail's colour to its group (one drawable() returned); beyond two
    // trails the segments are thinner than `height`.
    scene::TGLHUDSprite& addSegment(std::size_t trail, scene::TGLBaseSceneObject& into,
                                    scene::Vec3 centre, float width, float height);

    // The name of the material a trail of that colour wears.
    static std::string materialName(scene::TColor colour);

private:
    void refreshMaterials();
    scene::MaterialRef trailMaterial(std::size_t trail) const;
    bool coloured() const { return !m_colours.empty(); }

    scene::TGLBaseSceneObject& m_group;
    scene::TGLMaterialLibrary& m_materials;
    std::vector<scene::TColor> m_colours;
    std::vector<bool> m_lost;
};

} // namespace cantorix::stage
