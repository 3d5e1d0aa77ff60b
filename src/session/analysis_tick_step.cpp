#include "analysis_tick_step.h"

#include <optional>

namespace cantorix::session {

namespace {
constexpr double kCaptureRate = 44100.0;
} // namespace

double readingSongMs(std::int64_t tickPositionMs, std::size_t windowSamples) {
    return static_cast<double>(tickPositionMs) -
           500.0 * static_cast<double>(windowSamples) / kCaptureRate;
}

AnalysisTickStep::AnalysisTickStep(Scoring& scoring, SongTimeline& lane, const TickJudge& judge)
    : m_scoring(scoring), m_lane(&lane), m_judge(&judge) {}

void AnalysisTickStep::startSession(SongTimeline& lane, const TickJudge& judge, bool semitoneRule,
                                    TrailDrawer drawTrail) {
    m_lane = &lane;
    m_judge = &judge;
    m_semitoneRule = semitoneRule;
    m_drawTrail = std::move(drawTrail);
    m_heldThisSession = false;
}

void AnalysisTickStep::scoreHeld() {
    if (!m_lane->judging())
        return;
    if (m_drawTrail)
        m_drawTrail(m_held);
    // The game's rule judges against the lane's target and keeps it for the next session.
    if (const std::optional<std::uint8_t> target = m_lane->judgedPitch())
        m_scoring.setTargetPitch(*target);
    // A standard song's first tick has no reading of its own yet: it heard the menus.
    if (m_semitoneRule && !m_heldThisSession)
        return;
    m_scoring.score(m_judge->judge(m_held));
}

void AnalysisTickStep::hold(std::uint8_t sungValue, const pitch::SemitoneReading& semitone,
                            std::size_t windowSamples, std::int64_t tickPositionMs) {
    m_held = {sungValue, semitone, readingSongMs(tickPositionMs, windowSamples)};
    m_heldThisSession = true;
}

} // namespace cantorix::session
