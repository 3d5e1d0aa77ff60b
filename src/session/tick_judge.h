#pragma once
// The one interface behind which the two scoring rules judge an analysis tick: the game's exact
// coarse value against the timeline's target, and the semitone rule of standard songs. A judge only
// decides; `Scoring` keeps the points. Values, no threads.

#include "pitch/semitone_tracker_port.h"

#include <cstdint>
#include <optional>

namespace cantorix::session {

// What the singer produced in one analysis tick, and when in the song those samples were heard.
struct SungTick {
    std::uint8_t sungValue = 255; // the game's coarse value; 255 is silence
    pitch::SemitoneReading semitone;
    double songMs = 0; // play position, in the song's ms, when the samples were taken
};

// A judge's verdict on one tick. A tick that is not judged neither scores nor breaks a run.
struct TickJudgement {
    bool judged = false;
    int points = 0;
    int possible =
        0; // what a singer on the note would have earned; 0 where the rule has no such figure
    int line = -1;       // the lyric line of the note judged; −1 when the judge keeps no lines
    bool golden = false; // the note judged is golden: its points count among the golden points
    int note = -1;       // the note judged (an index into the judge's notes); −1 when none
    double songMs = 0;   // the song time judged: the tick's, less the microphone's delay
};

class TickJudge {
public:
    virtual ~TickJudge() = default;
    virtual TickJudgement judge(const SungTick& tick) const = 0;
};

// The game's own rule: one point when the coarse sung value equals the target byte for byte.
// Judged whenever the song names a target, between notes too.
inline TickJudgement judgeCoarseValue(std::uint8_t sungValue, std::optional<std::uint8_t> target) {
    if (!target)
        return {};
    return {true, sungValue == *target ? 1 : 0, 0, -1};
}

} // namespace cantorix::session
