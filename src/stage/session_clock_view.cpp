#include "session_clock_view.h"

#include "session/round_half_even.h"

#include <exception>

namespace cantorix::stage {

SessionClockView::SessionClockView(songs::MediaPlayer& player, ClockScene scene, LaneView& lane)
    : m_scene(scene), m_lane(&lane), m_rules(player, lane.timeline()) {}

void SessionClockView::setLane(LaneView& lane) {
    m_lane = &lane;
    m_rules.setTimeline(lane.timeline());
}

void SessionClockView::showLeadIn() {
    scene::Vec3 p = m_scene.progress.position();
    p.x = m_lane->firstSyllableX() - 25.0f;
    m_scene.progress.setPosition(p);
    m_scene.progress.setWidth(0);
    m_scene.progress.setVisible(true);
}

bool SessionClockView::tick() noexcept {
    const session::ClockStep step = m_rules.tick();
    try {
        if (step.timeRead && step.positionMs != step.lengthMs)
            showTime(step.positionMs, step.lengthMs);
        if (step.lyricsFinished)
            m_lane->clearLyrics();
        else if (step.timeRead)
            leadInStep(step.positionMs);
        if (step.stepped)
            m_lane->follow();
    } catch (const std::exception&) {
        return false;
    }
    return step.ended;
}

void SessionClockView::showTime(std::int64_t position, std::int64_t length) {
    m_scene.text.setText(session::clockText(position));
    const session::GaugeSpan span = session::gaugeSpan(position, length);
    m_scene.gauge.setWidth(static_cast<float>(span.width));
    scene::Vec3 p = m_scene.gauge.position();
    p.x = span.centreX;
    m_scene.gauge.setPosition(p);
}

void SessionClockView::leadInStep(std::int64_t position) {
    const double leadIn = m_lane->timeline().leadInTenths();
    const double tenths =
        static_cast<double>(session::roundHalfEven(static_cast<double>(position) / 100.0));
    // The bar fills during the last five seconds before the first note, and holds while paused.
    if (m_scene.progress.width() < kLeadInWidth && tenths >= leadIn - 50.0 &&
        m_scene.pauseButton.visible())
        m_scene.progress.setWidth(m_scene.progress.width() + kLeadInStep);
    if (tenths >= leadIn)
        m_scene.progress.setVisible(false);
}

} // namespace cantorix::stage
