#include "stage_palette.h"

#include <algorithm>
#include <cstdio>

namespace cantorix::stage {

namespace {

// Over a white picture the strip leaves a grey of about 60, against which white lyrics stand at
// more than 10:1 and the default bars at more than 6:1.
constexpr scene::ColorF kStrip{0.02f, 0.02f, 0.05f, 0.76f};
constexpr scene::TColor kGold = 0x0000D0FF;      // orange-gold, in the options' BGR order
constexpr scene::TColor kGoldLight = 0x0080F0FF; // its outline
constexpr float kWaitingShare = 0.5f;            // a waiting line's bars against a sung one's

void set(scene::TGLMaterialLibrary& library, const char* name, scene::ColorF colour) {
    scene::TGLLibMaterial* material = library.materialByName(name);
    if (!material)
        material = &library.addMaterial(name);
    material->setDiffuse(colour);
    material->setBlending(colour.a < 1.0f ? scene::BlendingMode::Transparency
                                          : scene::BlendingMode::Opaque);
    material->setLightingOff(true);
}

} // namespace

float stageBarOpacity(float opacityOption) {
    // Never opaque either: the outline must stand out from the fill.
    return 0.55f + 0.25f * std::clamp(opacityOption, 0.0f, 1.0f);
}

void applyStagePalette(scene::TGLMaterialLibrary& library, const StagePalette& palette) {
    const float fill = stageBarOpacity(palette.opacity);
    set(library, kStripMaterial, kStrip);
    set(library, kBarOutline, scene::toColorF(palette.bar));
    set(library, kBarFill, scene::toColorF(palette.bar, fill));
    set(library, kBarSung, scene::toColorF(palette.barSung, std::min(1.0f, fill + 0.25f)));
    set(library, kGoldOutline, scene::toColorF(kGoldLight));
    set(library, kGoldFill, scene::toColorF(kGold, std::max(fill, 0.8f)));
    set(library, kBarWaiting, scene::toColorF(palette.bar, fill * kWaitingShare));
    set(library, kGoldWaiting, scene::toColorF(kGold, std::max(fill, 0.8f) * kWaitingShare));
    set(library, kGoldShine, {1, 1, 0.85f, 0.75f});
    set(library, kBarHollow, {0.03f, 0.03f, 0.07f, 0.9f});
    set(library, kFreestyle, scene::toColorF(palette.bar, fill * 0.5f));
}

scene::MaterialRef singerMaterial(scene::TGLMaterialLibrary& library, scene::TColor colour) {
    char name[24];
    std::snprintf(name, sizeof name, "StageSinger%06X", static_cast<unsigned>(colour & 0xFFFFFF));
    if (!library.materialByName(name))
        set(library, name, scene::toColorF(colour));
    return {&library, name};
}

} // namespace cantorix::stage
