#pragma once
// What each singer has hit on the bars of the line being sung: every tick judged a hit fills its
// span of the note's bar in the singer's colour, each singer in a stripe of their own, so that
// several singers' hits stay visible and tell apart. Consecutive hits on a note grow one fill,
// so a line holds a few fills per singer, not one per tick. Draws into the band's fill group, a
// group per singer; main thread only.

#include "scene/colour.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace cantorix::stage {

// A note's bar as the lane lays it out: its span of song time and its rectangle.
struct BarPlace {
    double startMs = 0, endMs = 0;
    float left = 0, width = 0, centreY = 0, height = 0;
};

// A singer's stripe within a bar: a share of its height, never thinner than this.
inline constexpr float kThinnestStripe = 3;

struct Stripe {
    float top = 0, height = 0;
};
// Stripe `singer` of `singers` (top to bottom in the singers' order) of a bar.
Stripe stripeOf(std::size_t singer, std::size_t singers, float centreY, float barHeight);
// The height of a bar that gives each of `singers` a stripe of at least kThinnestStripe.
float barHeightFor(float designed, std::size_t singers);

class NoteFills {
public:
    NoteFills(scene::TGLBaseSceneObject& group, scene::TGLMaterialLibrary& materials);

    // The singers of the band, one colour each; empties the fills.
    void setSingers(std::vector<scene::TColor> colours);
    std::size_t singers() const { return m_colours.size(); }
    // A new line: every fill goes.
    void clear();
    // A hit by `singer` on bar `bar` (an index among the line's bars) for the song time
    // [fromMs, toMs); the part within the bar's own span is filled.
    void fill(std::size_t singer, std::size_t bar, const BarPlace& place, double fromMs,
              double toMs);

private:
    struct Run {
        std::size_t bar = 0;
        double fromMs = 0, toMs = 0;
        scene::TGLHUDSprite* sprite = nullptr;
    };

    scene::TGLBaseSceneObject& m_group;
    scene::TGLMaterialLibrary& m_materials;
    std::vector<scene::TColor> m_colours;
    std::vector<std::optional<Run>> m_lastRun; // per singer
};

} // namespace cantorix::stage
