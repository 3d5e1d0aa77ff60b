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

void SessionClockView::setSecondBand(StandardLaneView* lane, scene::TGLHUDSprite* leadIn) {
    m_secondLane = lane;
    m_secondLeadIn = lane ? leadIn : nullptr;
}

namespace {

void showLeadInOf(scene::TGLHUDSprite& bar, const LaneView& lane) {
    if (lane.countsDown()) {
        bar.setVisible(false);
        return;
    }
    scene::Vec3 p = bar.position();
    p.x = lane.firstSyllableX() - 25.0f;
    bar.setPosition(p);
    bar.setWidth(0);
    bar.setVisible(true);
}

} // namespace

void SessionClockView::showLeadIn() {
    showLeadInOf(m_scene.progress, *m_lane);
    if (m_secondLeadIn)
        showLeadInOf(*m_secondLeadIn, *m_secondLane);
}

bool SessionClockView::tick() noexcept {
    const session::ClockStep step = m_rules.tick();
    try {
        if (step.timeRead && step.positionMs != step.lengthMs)
            showTime(step.positionMs, step.lengthMs);
        if (step.lyricsFinished)
            m_lane->clearLyrics();
        else if (step.timeRead)
            leadInStep(m_scene.progress, *m_lane, step.positionMs);
        if (step.stepped)
            m_lane->follow();
        if (m_secondLane && step.timeRead)
            stepSecondBand(step.positionMs);
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

void SessionClockView::stepSecondBand(std::int64_t position) {
    // As the clock's rules do for the first band: stepped until its lyrics are over, then emptied.
    if (m_secondLane->timeline().lyricsFinished()) {
        m_secondLane->clearLyrics();
        return;
    }
    if (m_secondLeadIn)
        leadInStep(*m_secondLeadIn, *m_secondLane, position);
    m_secondLane->step(position);
}

void SessionClockView::leadInStep(scene::TGLHUDSprite& bar, const LaneView& lane,
                                  std::int64_t position) {
    if (lane.countsDown())
        return;
    const double leadIn = lane.timeline().leadInTenths();
    const double tenths =
        static_cast<double>(session::roundHalfEven(static_cast<double>(position) / 100.0));
    // The bar fills during the last five seconds before the first note, and holds while paused.
    if (bar.width() < kLeadInWidth && tenths >= leadIn - 50.0 && m_scene.pauseButton.visible())
        bar.setWidth(bar.width() + kLeadInStep);
    if (tenths >= leadIn)
        bar.setVisible(false);
}

} // namespace cantorix::stage
