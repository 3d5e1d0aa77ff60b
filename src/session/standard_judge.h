#pragma once
// The semitone rule of standard songs: the note of the sung voice whose span holds the tick's
// song time (less the microphone's delay) is due; the rounded detected semitone, folded by whole
// octaves, must lie within the difficulty's tolerance of it. Owns a copy of the voice's timeline,
// so it serves a session and a window-less scoring run alike. Values, no threads.

#include "standard_timeline.h"
#include "tick_judge.h"

#include <optional>
#include <string_view>
#include <vector>

namespace cantorix::session {

enum class Difficulty { Easy, Medium, Hard };

// Semitones a hit may lie off the note: Easy 2, Medium 1, Hard 0.
int toleranceOf(Difficulty difficulty);
// "easy", "medium", "hard" in any case; nothing for anything else.
std::optional<Difficulty> parseDifficulty(std::string_view name);
const char* difficultyName(Difficulty difficulty); // "Easy", "Medium", "Hard"

// round(detected) − (60 + pitch), folded by whole octaves into −6 … +5, so a singer in any
// octave is measured against the note in their own. Rounding is halves to even.
int foldedSemitoneDistance(double detectedMidiNote, int pitch);

// Points a note of this kind is worth per tick: 2 for golden notes and golden rap, 1 for normal
// and rap notes, 0 for freestyle, which is never judged.
int tickPointsOf(songs::NoteKind kind);

// What one note's rule makes of one reading: rap notes take any voiced sound, the others need
// the pitch; freestyle is not judged.
TickJudgement judgeNote(const songs::StandardNote& note, const pitch::SemitoneReading& reading,
                        Difficulty difficulty);

class StandardJudge : public TickJudge {
public:
    // delayMs: how long the microphone's samples trail what the singer hears.
    StandardJudge(VoiceTimeline timeline, Difficulty difficulty, int delayMs);

    TickJudgement judge(const SungTick& tick) const override;

    // The note due at a song time before the delay is taken off (an index into the timeline's
    // notes), or −1 between notes.
    int dueNote(double songMs) const;
    // Where each lyric line starts: its first note's start, in ms.
    std::vector<double> lineStartsMs() const;

    Difficulty difficulty() const { return m_difficulty; }
    int delayMs() const { return m_delayMs; }
    const VoiceTimeline& timeline() const { return m_timeline; }

private:
    VoiceTimeline m_timeline;
    Difficulty m_difficulty;
    int m_delayMs;
    std::vector<int> m_lineOfNote;
    double m_longestMs = 0;
};

} // namespace cantorix::session
