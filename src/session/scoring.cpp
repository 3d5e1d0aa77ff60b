#include "scoring.h"

#include "round_half_even.h"

namespace cantorix::session {

namespace {

constexpr int kGaugeBase = 460;      // the gauge's bottom edge on the score page
constexpr double kGaugeFull = 230.0; // its height at kGaugeFullPoints
constexpr double kGaugeFullPoints = 15000.0;

} // namespace

Scoring::Scoring(scene::TGLBaseSceneObject& point) : m_point(point) {}

void Scoring::startSession() {
    m_notePoints = 0;
    m_lineBonus = 0;
    m_targetPitch = 0;
    m_point.setTag(0);
}

void Scoring::scoreTick(std::uint8_t sungValue) {
    const bool hit = sungValue == m_targetPitch;
    if (hit)
        ++m_notePoints;
    int streak = hit ? m_point.tag() + 1 : 0;
    if (streak >= kBonusRun) {
        ++m_lineBonus;
        streak = 0;
    }
    m_point.setTag(streak);
}

std::string pointCounterText(std::int32_t notePoints) {
    return "P-" + std::to_string(notePoints);
}

ScorePageValues scorePageValues(std::int32_t notePoints, std::int32_t lineBonus) {
    ScorePageValues values;
    values.notes = std::to_string(notePoints);
    values.bonus = std::to_string(lineBonus);
    values.total = std::to_string(std::int64_t{notePoints} + lineBonus);
    values.gaugeHeight =
        static_cast<int>(roundHalfEven(notePoints * kGaugeFull / kGaugeFullPoints));
    values.gaugeTop = kGaugeBase - values.gaugeHeight;
    return values;
}

std::string hallOfFameEntry(std::int64_t total, std::string_view name) {
    std::string entry = std::to_string(total);
    entry += ':';
    entry += name;
    return entry;
}

} // namespace cantorix::session
