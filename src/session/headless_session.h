#pragma once
// A singing session without a window, sound or scene: the song's timeline, the session clock's
// rules and a listening loop per singer, run on made-up time with a recording for each singer's
// microphone. Singers of one voice share its timeline and rules; each has a loop, judge and
// scoring of their own, so a singer scores the same alone as among others.
// As in the window, the recording arrives in 10 ms steps, the clock ticks every 10 ms and the
// analysis every 50 ms; the game's own analysis takes what the capture handed it last, 25 ms
// before the tick, the average a window's capture notification lies ahead of it, and the
// semitone windows are counted in samples from the recording's first. Borrows the captures and
// the trackers; one thread.

#include "pitch/capture_port.h"
#include "pitch/semitone_tracker_port.h"
#include "scoring.h"
#include "songs/song_file.h"
#include "songs/standard_song.h"
#include "standard_judge.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace cantorix::session {

// The song as the session reads it: the game's own format, or a standard song and its voice.
struct HeadlessSong {
    const songs::SongFile* game = nullptr;
    const songs::StandardSong* standard = nullptr;
    std::size_t voice = 0; // an index into the standard song's voices (one singer's run)
};

struct HeadlessInput {
    // The capture the recording is fed into (its one ring serves the game's analysis).
    pitch::CaptureDevice& capture;
    // Delivers into that capture every frame of the recording due this long after the song's
    // audio started: the recording's first sample is heard as the audio starts.
    std::function<void(std::chrono::nanoseconds sinceAudioStart)> deliverDue;
    // Judges standard songs; without it they hear no voice. One per singer: a tracker keeps
    // what it heard before.
    pitch::SemitoneTracker* tracker = nullptr;
};

// One singer of a run: where their voice comes from and which of the song's voices they sing.
struct HeadlessSinger {
    HeadlessInput* input = nullptr;
    std::size_t voice = 0; // an index into a standard song's voices; ignored for the game's format
};

struct HeadlessOptions {
    Difficulty difficulty = Difficulty::Medium;
    int delayMs = 0;
    // The length of the song's audio; 0 when there is none: the session then ends a second
    // after the last note.
    std::int64_t lengthMs = 0;
};

struct HeadlessScore {
    std::int32_t notePoints = 0;
    std::int32_t lineBonus = 0;
    std::int32_t goldenPoints = 0; // of the note points, those earned on golden notes
    std::int64_t total = 0;
    std::int32_t possible = 0;
    std::vector<LineTally> lines;
    std::int64_t endMs = 0; // the play position at which the session ended
    // Semitone windows whose samples were lost before they could be read.
    std::int64_t missedWindows = 0;
};

inline constexpr int kHeadlessClockMs = 10;
inline constexpr int kHeadlessCaptureLeadMs = 25;
inline constexpr int kHeadlessInputMs = 10; // the file input's pacing step
// Where in each pacing step the recording arrives, for the coarse analysis, which reads what has
// arrived. A window's file input runs its steps on a phase of its own, so at an analysis tick its
// newest sample is 0 to 10 ms old; half a step is the one fixed age that is never more than 5 ms
// from it. (The semitone windows do not depend on it: they are counted in samples.)
inline constexpr int kHeadlessInputPhaseMs = 5;
// After the last note, when the song has no audio to end it.
inline constexpr int kHeadlessTailMs = 1000;

// Sings every singer's recording through one whole session and returns their scores in the
// singers' order. The session ends as the music ends or, without music, a while after the last
// of the sung voices' lyrics. Throws std::out_of_range for a voice the standard song does not
// have and what a capture stream throws when a capture cannot start.
std::vector<HeadlessScore> singWithoutWindow(const HeadlessSong& song,
                                             const std::vector<HeadlessSinger>& singers,
                                             const HeadlessOptions& options);

// One singer, singing song.voice.
HeadlessScore singWithoutWindow(const HeadlessSong& song, HeadlessInput& input,
                                const HeadlessOptions& options);

} // namespace cantorix::session
