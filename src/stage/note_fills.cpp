#include "note_fills.h"

#include "stage_palette.h"

#include <algorithm>

namespace cantorix::stage {

namespace {

// Two fills of one singer closer than this in song time are one run: the ticks of a held note
// meet end to end, up to the rounding of their times.
constexpr double kJoinMs = 1;

float xOf(const BarPlace& bar, double ms) {
    const double span = std::max(1.0, bar.endMs - bar.startMs);
    return bar.left + static_cast<float>((ms - bar.startMs) / span) * bar.width;
}

} // namespace

Stripe stripeOf(std::size_t singer, std::size_t singers, float centreY, float barHeight) {
    const std::size_t count = std::max<std::size_t>(1, singers);
    const float height = barHeight / static_cast<float>(count);
    const float top =
        centreY - barHeight / 2 + height * static_cast<float>(std::min(singer, count - 1));
    return {top, height};
}

float barHeightFor(float designed, std::size_t singers) {
    return std::max(designed, kThinnestStripe * static_cast<float>(singers));
}

NoteFills::NoteFills(scene::TGLBaseSceneObject& group, scene::TGLMaterialLibrary& materials)
    : m_group(group), m_materials(materials) {}

void NoteFills::setSingers(std::vector<scene::TColor> colours) {
    m_colours = std::move(colours);
    clear();
}

void NoteFills::clear() {
    // A group per singer: one singer's fills follow each other and are drawn in one call.
    m_group.deleteChildren();
    for (std::size_t k = 0; k < m_colours.size(); ++k)
        m_group.addNewChild<scene::TGLDummyCube>();
    m_lastRun.assign(m_colours.size(), std::nullopt);
}

void NoteFills::fill(std::size_t singer, std::size_t bar, const BarPlace& place, double fromMs,
                     double toMs) {
    if (singer >= m_colours.size())
        return;
    const double from = std::max(fromMs, place.startMs);
    const double to = std::min(toMs, place.endMs);
    if (to <= from)
        return;
    std::optional<Run>& last = m_lastRun[singer];
    if (last && last->bar == bar && from <= last->toMs + kJoinMs && to >= last->fromMs) {
        last->fromMs = std::min(last->fromMs, from);
        last->toMs = std::max(last->toMs, to);
    } else {
        auto& sprite = m_group.child(static_cast<int>(singer)).addNewChild<scene::TGLHUDSprite>();
        sprite.setMaterial(singerMaterial(m_materials, m_colours[singer]));
        last = Run{bar, from, to, &sprite};
    }
    const Stripe stripe = stripeOf(singer, m_colours.size(), place.centreY, place.height);
    const float left = xOf(place, last->fromMs), right = xOf(place, last->toMs);
    last->sprite->setPosition({(left + right) / 2, stripe.top + stripe.height / 2, 0});
    last->sprite->setWidth(std::max(1.0f, right - left));
    last->sprite->setHeight(stripe.height);
}

} // namespace cantorix::stage
