#pragma once
// The session's share of one analysis tick, the same for the singing window and the window-less
// run: the voice trail and the judge for the reading the previous tick took, and where in the
// song that reading was heard. Holds that reading between ticks; borrows the lane, the judge and
// the scoring. Main thread (the window-less run's one thread).

#include "pitch/semitone_tracker.h"
#include "scoring.h"
#include "song_lane.h"
#include "standard_lane.h"
#include "tick_judge.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::session {

// The song time at which a reading of the newest samples is placed. The tick reads the newest
// window the capture holds at that moment, so the reading belongs to the tick's own play
// position less half the window it was measured over: the middle of what it heard. What an input
// adds before its samples reach the capture (a file input's 10 ms pacing, a device's latency) is
// left to the microphone delay option.
double readingSongMs(std::int64_t tickPositionMs, std::size_t windowSamples);

class AnalysisTickStep {
public:
    // Starts with the lane and judge of the game's own songs, before any session.
    AnalysisTickStep(Scoring& scoring, SongLane& lane, const TickJudge& judge);

    // A new session with its lane and judge. semitoneLane is the lane again when the song is a
    // standard one (its trail shows the semitone), null otherwise. The reading held now was
    // taken before the session; only the game's rule judges it, as it always has.
    void startSession(SongLane& lane, const TickJudge& judge, StandardLane* semitoneLane);

    // Before the tick's analysis: trail and score for the reading held from the previous tick.
    void scoreHeld();
    // After it: holds the new reading, measured over the newest windowSamples captured by the
    // tick at play position tickPositionMs.
    void hold(std::uint8_t sungValue, const pitch::SemitoneReading& semitone,
              std::size_t windowSamples, std::int64_t tickPositionMs);

    const SungTick& held() const { return m_held; }

private:
    Scoring& m_scoring;
    SongLane* m_lane;
    const TickJudge* m_judge;
    StandardLane* m_semitoneLane = nullptr;
    SungTick m_held;
    bool m_heldThisSession = false;
};

} // namespace cantorix::session
