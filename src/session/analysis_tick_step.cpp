#include "analysis_tick_step.h"

#include <optional>

namespace cantorix::session {

namespace {
constexpr double kCaptureRate = 44100.0;
} // namespace

double readingSongMs(std::int64_t handOverPositionMs, std::size_t windowSamples) {
    return static_cast<double>(handOverPositionMs) -
           500.0 * static_cast<double>(windowSamples) / kCaptureRate;
}

AnalysisTickStep::AnalysisTickStep(Scoring& scoring, SongLane& lane, const TickJudge& judge)
    : m_scoring(scoring), m_lane(&lane), m_judge(&judge) {}

void AnalysisTickStep::startSession(SongLane& lane, const TickJudge& judge,
                                    StandardLane* semitoneLane, std::int64_t startPositionMs) {
    m_lane = &lane;
    m_judge = &judge;
    m_semitoneLane = semitoneLane;
    m_heldThisSession = false;
    // A hand-over before this session carried the menus' sound and a position of another song.
    m_handOverMs = startPositionMs;
}

void AnalysisTickStep::scoreHeld() {
    if (m_semitoneLane)
        m_semitoneLane->setSemitoneReading(m_held.semitone);
    if (!m_lane->UpdateVoiceTrail(m_held.sungValue))
        return;
    // The game's rule judges against the lane's target and keeps it for the next session.
    if (const std::optional<std::uint8_t> target = m_lane->judgedPitch())
        m_scoring.setTargetPitch(*target);
    // A standard song's first tick has no reading of its own yet: it heard the menus.
    if (m_semitoneLane && !m_heldThisSession)
        return;
    m_scoring.score(m_judge->judge(m_held));
}

void AnalysisTickStep::hold(std::uint8_t sungValue, const pitch::SemitoneReading& semitone,
                            std::size_t windowSamples) {
    m_held = {sungValue, semitone, readingSongMs(m_handOverMs, windowSamples)};
    m_heldThisSession = true;
}

} // namespace cantorix::session
