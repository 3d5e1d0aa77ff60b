#include "scoring.h"

#include "round_half_even.h"

namespace cantorix::session {

namespace {

constexpr int kGaugeBase = 460;      // the gauge's bottom edge on the score page
constexpr double kGaugeFull = 230.0; // its height at kGaugeFullPoints
constexpr double kGaugeFullPoints = 15000.0;

} // namespace

void Scoring::startSession() {
    m_notePoints = 0;
    m_lineBonus = 0;
    m_goldenPoints = 0;
    m_possible = 0;
    m_targetPitch = 0;
    m_lines.clear();
    m_hitStreak = 0;
}

void Scoring::setLines(const std::vector<double>& startsMs) {
    m_lines.clear();
    for (double start : startsMs)
        m_lines.push_back({start, 0, 0});
}

void Scoring::scoreTick(std::uint8_t sungValue) {
    const bool hit = sungValue == m_targetPitch;
    score({true, hit ? 1 : 0, 0, -1});
}

void Scoring::score(const TickJudgement& verdict) {
    if (!verdict.judged)
        return;
    m_notePoints += verdict.points;
    if (verdict.golden)
        m_goldenPoints += verdict.points;
    m_possible += verdict.possible;
    LineTally* line = nullptr;
    if (verdict.line >= 0 && static_cast<std::size_t>(verdict.line) < m_lines.size()) {
        line = &m_lines[static_cast<std::size_t>(verdict.line)];
        line->points += verdict.points;
        line->possible += verdict.possible;
        if (verdict.golden)
            line->golden += verdict.points;
    }
    const bool hit = verdict.points > 0;
    std::int32_t streak = hit ? m_hitStreak + 1 : 0;
    if (streak >= kBonusRun) {
        ++m_lineBonus;
        if (line)
            ++line->bonus;
        streak = 0;
    }
    m_hitStreak = streak;
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

std::int64_t sharePercent(std::int32_t notePoints, std::int32_t possible) {
    return roundHalfEven(100.0 * notePoints / possible);
}

std::optional<std::string> possibleShareText(std::int32_t notePoints, std::int32_t possible) {
    if (possible <= 0)
        return std::nullopt;
    return std::to_string(sharePercent(notePoints, possible)) + " %";
}

std::string hallOfFameEntry(std::int64_t total, std::string_view name) {
    std::string entry = std::to_string(total);
    entry += ':';
    entry += name;
    return entry;
}

} // namespace cantorix::session
