#pragma once
// The session clock tick as the singing screen shows it: runs the clock's rules, then shows the
// play position as a clock and a progress gauge, grows the lead-in bar and has the lane's view
// follow its timeline. Draws into scene objects the main window owns. Main thread only.

#include "lane_view.h"
#include "scene/scene_nodes.h"
#include "session/session_clock.h"
#include "standard_lane_view.h"

namespace cantorix::stage {

struct ClockScene {
    scene::TGLHUDText& text;                      // `Text` in `Indicator`
    scene::TGLHUDSprite& gauge;                   // `Gauge` in `Indicator`
    scene::TGLHUDSprite& progress;                // `Progress` in `LeadIn`
    const scene::TGLBaseSceneObject& pauseButton; // `Pause`: visible while the music plays
};

class SessionClockView {
public:
    static constexpr float kLeadInStep = 0.15f;
    static constexpr float kLeadInWidth = 70.0f;

    SessionClockView(songs::MediaPlayer& player, ClockScene scene, LaneView& lane);
    // The lane of the next session's song.
    void setLane(LaneView& lane);
    // A duet's second band, or none (nullptr): its lane steps with the clock, empties when its
    // own lyrics are over, and its lead-in bar fills before its own first note.
    void setSecondBand(StandardLaneView* lane, scene::TGLHUDSprite* leadIn);

    // Puts the empty lead-in bar just left of the first syllable and shows it, on each band;
    // run after the first lines of a session are built.
    void showLeadIn();

    // One clock tick. True when the music has reached its end, or the end the song sets: the
    // caller then ends the session. A failure inside the tick is dropped so the next tick runs
    // normally.
    bool tick() noexcept;

private:
    void showTime(std::int64_t position, std::int64_t length);
    void leadInStep(scene::TGLHUDSprite& bar, const LaneView& lane, std::int64_t position);
    void stepSecondBand(std::int64_t position);

    ClockScene m_scene;
    LaneView* m_lane;
    session::SessionClock m_rules;
    StandardLaneView* m_secondLane = nullptr;
    scene::TGLHUDSprite* m_secondLeadIn = nullptr;
};

} // namespace cantorix::stage
