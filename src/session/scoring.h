#pragma once
// The points of one performance: note points, line bonus and the hit streak, stepped once per
// analysis tick. Values only; main thread only.

#include "tick_judge.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::session {

// Hit ticks in a row that earn one bonus point.
inline constexpr int kBonusRun = 6;

// One lyric line's share of a performance: where it starts, what it offered and what was reached.
struct LineTally {
    double startMs = 0;
    std::int32_t possible = 0;
    std::int32_t points = 0;
    // Of the bonus, the points earned on this line's ticks; of its points, those on golden notes.
    std::int32_t bonus = 0;
    std::int32_t golden = 0;

    bool operator==(const LineTally&) const = default;
};

class Scoring {
public:
    // The start of a session: `NotePoints`, `LineBonus`, `TargetPitch` and `HitStreak` become 0,
    // so nothing left over from the previous song can score or complete a run.
    void startSession();

    // `ScoreTick`: one hit when the sung value of the previous tick equals `TargetPitch` byte for
    // byte (255 is silence); a run of six hits earns one bonus point and starts a new run.
    void scoreTick(std::uint8_t sungValue);
    // A judge's verdict on a tick: its points count as one hit of a run, whatever their number;
    // a tick the judge left alone neither scores nor breaks the run.
    void score(const TickJudgement& verdict);
    // The lines a judge names by index, with their start times; the tally starts empty.
    void setLines(const std::vector<double>& startsMs);

    std::uint8_t targetPitch() const { return m_targetPitch; }
    void setTargetPitch(std::uint8_t pitch) { m_targetPitch = pitch; }
    std::int32_t notePoints() const { return m_notePoints; }
    std::int32_t lineBonus() const { return m_lineBonus; }
    // The part of the note points earned on golden notes; always 0 under the game's rule, which
    // has no golden notes.
    std::int32_t goldenPoints() const { return m_goldenPoints; }
    std::int32_t hitStreak() const { return m_hitStreak; }
    // Note points plus bonus; wide enough that the sum cannot overflow.
    std::int64_t total() const { return std::int64_t{m_notePoints} + m_lineBonus; }
    // The note points a singer on every judged note would have earned; 0 under the game's rule.
    std::int32_t possible() const { return m_possible; }
    const std::vector<LineTally>& lines() const { return m_lines; }

private:
    std::int32_t m_notePoints = 0;
    std::int32_t m_lineBonus = 0;
    std::int32_t m_goldenPoints = 0;
    std::int32_t m_possible = 0;
    std::int32_t m_hitStreak = 0;
    std::uint8_t m_targetPitch = 0;
    std::vector<LineTally> m_lines;
};

// The caption of the point counter `Pointtext`: "P-" and the note points.
std::string pointCounterText(std::int32_t notePoints);

// What the score page shows when a session ends. The gauge `Gauge1` stands on y = 460 and is
// 230 pixels high at 15000 note points.
struct ScorePageValues {
    std::string notes; // `Score1`
    std::string bonus; // `score2`
    std::string total; // `Total`
    int gaugeHeight = 0;
    int gaugeTop = 0;
};
ScorePageValues scorePageValues(std::int32_t notePoints, std::int32_t lineBonus);

// The share of the possible points reached in whole percent, rounded halves to even; `possible`
// must be above 0.
std::int64_t sharePercent(std::int32_t notePoints, std::int32_t possible);
// The share of the possible points reached, as the score page shows it ("82 %"), rounded halves
// to even; nothing when no points were possible.
std::optional<std::string> possibleShareText(std::int32_t notePoints, std::int32_t possible);

// The hall-of-fame entry Submit adds: the decimal total, ":" and the name exactly as typed.
std::string hallOfFameEntry(std::int64_t total, std::string_view name);

} // namespace cantorix::session
