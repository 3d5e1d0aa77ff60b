#pragma once
// The session's share of one analysis tick, the same for the singing window and the window-less
// run: the voice trail and the judge for the reading the previous tick took, and where in the
// song that reading was heard. Holds that reading between ticks; borrows the lane, the judge and
// the scoring. Main thread (the window-less run's one thread).

#include "pitch/semitone_tracker_port.h"
#include "scoring.h"
#include "song_timeline.h"
#include "tick_judge.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace cantorix::session {

// The song time at which a reading of the newest samples is placed. The tick reads the newest
// window the capture holds at that moment, so the reading belongs to the tick's own play
// position less half the window it was measured over: the middle of what it heard. What an input
// adds before its samples reach the capture (a file input's 10 ms pacing, a device's latency) is
// left to the microphone delay option.
double readingSongMs(std::int64_t tickPositionMs, std::size_t windowSamples);

// Draws the voice trail's segment for a judged reading: the window's lane view; none headless.
using TrailDrawer = std::function<void(const SungTick&)>;

class AnalysisTickStep {
public:
    // Starts with the timeline and judge of the game's own songs, before any session.
    AnalysisTickStep(Scoring& scoring, SongTimeline& lane, const TickJudge& judge);

    // A new session with its timeline and judge. semitoneRule: the song is a standard one. The
    // reading held now was taken before the session; only the game's rule judges it, as it
    // always has.
    void startSession(SongTimeline& lane, const TickJudge& judge, bool semitoneRule,
                      TrailDrawer drawTrail = {});

    // Before the tick's analysis: trail and score for the reading held from the previous tick.
    void scoreHeld();
    // After it: holds the new reading, measured over the newest windowSamples captured by the
    // tick at play position tickPositionMs.
    void hold(std::uint8_t sungValue, const pitch::SemitoneReading& semitone,
              std::size_t windowSamples, std::int64_t tickPositionMs);

    const SungTick& held() const { return m_held; }

private:
    Scoring& m_scoring;
    SongTimeline* m_lane;
    const TickJudge* m_judge;
    bool m_semitoneRule = false;
    TrailDrawer m_drawTrail;
    SungTick m_held;
    bool m_heldThisSession = false;
};

} // namespace cantorix::session
