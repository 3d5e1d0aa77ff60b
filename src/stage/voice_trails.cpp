#include "voice_trails.h"

#include <algorithm>
#include <cstdio>

namespace cantorix::stage {

using scene::TGLBaseSceneObject;
using scene::TGLDummyCube;
using scene::TGLHUDSprite;

namespace {

constexpr const char* kDesignedTrail = "Knob3";
constexpr float kDesignedOpacity = 0.82f;
constexpr float kThinnestTrail = 4;

} // namespace

VoiceTrails::VoiceTrails(TGLBaseSceneObject& group, scene::TGLMaterialLibrary& materials)
    : m_group(group), m_materials(materials) {}

std::string VoiceTrails::materialName(scene::TColor colour) {
    char name[16];
    std::snprintf(name, sizeof name, "Trail%06X", static_cast<unsigned>(colour & 0xFFFFFF));
    return name;
}

void VoiceTrails::setColours(std::vector<scene::TColor> colours) {
    m_colours = std::move(colours);
    m_lost.resize(trailCount(), false);
    refreshMaterials();
    clear();
}

void VoiceTrails::refreshMaterials() {
    // The trails keep the lane's opacity option, as the designed trail does.
    const scene::TGLLibMaterial* designed = m_materials.materialByName(kDesignedTrail);
    const float opacity = designed ? designed->diffuse().a : kDesignedOpacity;
    for (const scene::TColor colour : m_colours) {
        const std::string name = materialName(colour);
        scene::TGLLibMaterial* material = m_materials.materialByName(name);
        if (!material)
            material = &m_materials.addMaterial(name);
        material->setDiffuse(scene::toColorF(colour, opacity));
        if (designed)
            material->setBlending(designed->blending());
    }
}

void VoiceTrails::startSession() {
    m_lost.assign(trailCount(), false);
    refreshMaterials();
    clear();
}

void VoiceTrails::clear() {
    m_group.deleteChildren();
    m_group.setTag(0);
}

double VoiceTrails::startAt(const TGLHUDSprite& bar) {
    m_group.setTag(m_group.tag() + 1);
    const auto trails = static_cast<int>(trailCount());
    while (coloured() && m_group.count() < trails)
        m_group.addNewChild<TGLDummyCube>();
    scene::Vec3 left = bar.position();
    left.x -= bar.width() / 2;
    for (int k = 0; k < trails; ++k) {
        if (lost(static_cast<std::size_t>(k)))
            continue;
        TGLBaseSceneObject& trail = coloured() ? m_group.child(k) : m_group;
        if (coloured())
            trail.setTag(trail.tag() + 1);
        auto& anchor = trail.addNewChild<TGLHUDSprite>();
        anchor.setPosition(left);
        anchor.setWidth(0.001f);
        // In the trail's own material the anchor does not split the trail's batch of sprites.
        if (coloured())
            anchor.setMaterial(trailMaterial(static_cast<std::size_t>(k)));
    }
    return static_cast<double>(left.x) + bar.width();
}

scene::MaterialRef VoiceTrails::trailMaterial(std::size_t trail) const {
    if (coloured() && trail < m_colours.size())
        return {&m_materials, materialName(m_colours[trail])};
    return {&m_materials, kDesignedTrail};
}

void VoiceTrails::markLost(std::size_t trail) {
    if (trail < m_lost.size())
        m_lost[trail] = true;
}

bool VoiceTrails::lost(std::size_t trail) const {
    return trail < m_lost.size() && m_lost[trail];
}

TGLBaseSceneObject* VoiceTrails::drawable(std::size_t trail) const {
    if (trail >= trailCount() || lost(trail))
        return nullptr;
    if (!coloured())
        return m_group.count() > 0 ? &m_group : nullptr;
    const auto index = static_cast<int>(trail);
    if (index >= m_group.count() || m_group.child(index).count() == 0)
        return nullptr;
    return &m_group.child(index);
}

TGLHUDSprite& VoiceTrails::addSegment(std::size_t trail, TGLBaseSceneObject& into,
                                      scene::Vec3 centre, float width, float height) {
    // Many singers on one band thin their trails, so that each stays visible among the others.
    const float shared = 2 * height / static_cast<float>(trailCount());
    auto& segment = into.addNewChild<TGLHUDSprite>();
    segment.setPosition(centre);
    segment.setWidth(width);
    segment.setHeight(std::min(height, std::max(kThinnestTrail, shared)));
    segment.setMaterial(trailMaterial(trail));
    return segment;
}

} // namespace cantorix::stage
