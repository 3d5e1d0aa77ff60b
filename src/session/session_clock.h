#pragma once
// The session clock tick's rules: reads the play position, steps the song's timeline there and
// says when the song is over (the end of the music, or the end the song sets). The clock's view
// draws each tick. Reads the media player; main thread only.

#include "song_timeline.h"
#include "songs/media_player_port.h"

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

// What one tick did, as far as it got: the position and length it read, whether the lyrics were
// already over (then the timeline was not stepped and the lyric area empties), whether the
// timeline was stepped, and whether the session ends.
struct ClockStep {
    bool timeRead = false;
    std::int64_t positionMs = 0;
    std::int64_t lengthMs = 0;
    bool lyricsFinished = false;
    bool stepped = false;
    bool ended = false;
};

class SessionClock {
public:
    SessionClock(songs::MediaPlayer& player, SongTimeline& timeline)
        : m_player(player), m_timeline(&timeline) {}
    // The timeline of the next session's song.
    void setTimeline(SongTimeline& timeline) { m_timeline = &timeline; }
    const SongTimeline& timeline() const { return *m_timeline; }

    // One clock tick. `ended` when the music has reached its end, or the end the song sets: the
    // caller then ends the session. A failure inside the tick is dropped so the next tick runs
    // normally.
    ClockStep tick() noexcept;

private:
    songs::MediaPlayer& m_player;
    SongTimeline* m_timeline;
};

} // namespace cantorix::session
