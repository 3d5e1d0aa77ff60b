#pragma once
// The session clock tick: shows the play position as a clock and a progress gauge, grows the
// lead-in bar, steps the song's lane and says when the song is over. Reads the media player;
// draws into scene objects the main window owns. Main thread only.

#include "lane_scene.h"
#include "scene/scene_nodes.h"
#include "song_lane.h"
#include "songs/media_player.h"

#include <cstdint>
#include <string>

namespace cantorix::session {

// "mm:ss" of a play position, the seconds rounded before they are split.
std::string clockText(std::int64_t positionMs);

// The progress gauge grows to the right from x = 502 up to 140 pixels at the end of the song.
struct GaugeSpan {
    int width = 0;
    float centreX = 502;
};
GaugeSpan gaugeSpan(std::int64_t positionMs, std::int64_t lengthMs);

// `CurrentBeat` at a play position; kBeatBeforeLeadIn until the lead-in (tenths of a second)
// has passed.
std::int32_t beatAt(std::int64_t positionMs, double leadInTime, double bpm);
// The play position (ms) from which `beatAt` gives beat: beats are rounded, so a beat is
// reached half a beat before its exact time.
double beatReachedMs(std::int32_t beat, double leadInTime, double bpm);

struct ClockScene {
    scene::TGLHUDText& text;                      // `Text` in `Indicator`
    scene::TGLHUDSprite& gauge;                   // `Gauge` in `Indicator`
    scene::TGLHUDSprite& progress;                // `Progress` in `LeadIn`
    const scene::TGLBaseSceneObject& pauseButton; // `Pause`: visible while the music plays
};

class SessionClock {
public:
    static constexpr float kLeadInStep = 0.15f;
    static constexpr float kLeadInWidth = 70.0f;

    SessionClock(songs::MediaPlayer& player, ClockScene scene, SongLane& lane);
    // The lane of the next session's song.
    void setLane(SongLane& lane) { m_lane = &lane; }

    // Puts the empty lead-in bar just left of the first syllable and shows it; run after the
    // first `BuildLines` of a session.
    void showLeadIn();

    // One clock tick. True when the music has reached its end, or the end the song sets: the
    // caller then ends the session. A failure inside the tick is dropped so the next tick runs
    // normally.
    bool tick() noexcept;

private:
    void showTime(std::int64_t position, std::int64_t length);
    void leadInStep(std::int64_t position);

    songs::MediaPlayer& m_player;
    ClockScene m_scene;
    SongLane* m_lane;
};

} // namespace cantorix::session
