#pragma once
// The colours of the standard songs' stage, as materials of the lane's library: the darkened
// strip under each band, the note bars (outline, fill, the bar being sung, the bars of a line
// still waiting for its first note),
// golden, rap and freestyle notes, and one opaque material per singer's colour for their fills
// and markers. The bar colour and opacity options tint them; at the options' defaults the bars
// and lyrics stand out from the strip over any picture. Main thread only.

#include "scene/colour.h"
#include "scene/material.h"

#include <string>

namespace cantorix::stage {

struct StagePalette {
    scene::TColor bar = scene::clWhite;     // the bars' colour option
    scene::TColor barSung = scene::clWhite; // the colour option of the bar being sung
    float opacity = 0.18f;                  // the bars' opacity option, 0.1 … 1.09
};

inline constexpr const char* kStripMaterial = "StageStrip";
inline constexpr const char* kBarOutline = "StageBarOutline";
inline constexpr const char* kBarFill = "StageBarFill";
inline constexpr const char* kBarSung = "StageBarSung";
inline constexpr const char* kBarWaiting = "StageBarWaiting";
inline constexpr const char* kGoldWaiting = "StageGoldWaiting";
inline constexpr const char* kGoldOutline = "StageGoldOutline";
inline constexpr const char* kGoldFill = "StageGoldFill";
inline constexpr const char* kGoldShine = "StageGoldShine";
inline constexpr const char* kBarHollow = "StageBarHollow";
inline constexpr const char* kFreestyle = "StageFreestyle";

// The fill's opacity for the opacity option: never so faint that a bar sinks into the strip.
float stageBarOpacity(float opacityOption);

// Creates the stage's materials in `library` or updates their colours.
void applyStagePalette(scene::TGLMaterialLibrary& library, const StagePalette& palette);

// The opaque material of a singer's colour, made when first asked for.
scene::MaterialRef singerMaterial(scene::TGLMaterialLibrary& library, scene::TColor colour);

} // namespace cantorix::stage
