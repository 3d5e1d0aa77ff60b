#pragma once
// The standard song format's timeline: one voice's notes as spans of song time (gap + beat ×
// beat length), its lyric lines split at the line breaks, the line being sung and the note
// highlighted from its start to its end. Decides only; the lane's view draws it. Main thread only.

#include "song_timeline.h"
#include "songs/standard_song.h"
#include "sounding_note_index.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace cantorix::session {

// A note of the voice being sung, with its span of song time in ms.
struct TimedNote {
    songs::StandardNote note;
    double startMs = 0;
    double endMs = 0;
};

// A lyric line: notes [first, last) of the voice; it is the line being sung from showMs on.
struct TimedLine {
    std::size_t first = 0;
    std::size_t last = 0;
    double showMs = 0;
};

// A voice's notes in the order they are sung and its lines. A line break splits the voice
// before the first note that starts at or after the break's beat; the next line takes over at
// the break, but never before the last note of its predecessor has ended nor after its own first
// note starts. Breaks before the first note or after the last one split nothing.
struct VoiceTimeline {
    std::vector<TimedNote> notes;
    std::vector<TimedLine> lines;
};
VoiceTimeline voiceTimeline(const songs::StandardSong& song, std::size_t voice);

class StandardTimeline : public SongTimeline {
public:
    // song must outlive the timeline; it is read again by every startSession().
    explicit StandardTimeline(const songs::StandardSong& song) : m_song(song) {}

    // The voice the next session sings: an index into the song's voices (out of range: the first).
    void setVoice(int voice) { m_voice = voice; }

    void startSession() override;
    void startFirstLines() override;
    std::int64_t startMs() const override;
    // An end at or before the start would end the session before it begins: it is ignored.
    std::optional<std::int64_t> endMs() const override;
    double leadInTenths() const override;
    void step(std::int64_t positionMs) override;
    bool lyricsFinished() const override { return m_finished; }
    std::int32_t entered() const override { return static_cast<std::int32_t>(m_entered); }
    std::optional<double> entryDueMs(std::int32_t k) const override;
    bool judging() const override { return m_judging; }
    // Standard notes are not judged by the game's rule: their pitches mean something else.
    std::optional<std::uint8_t> judgedPitch() const override { return std::nullopt; }

    const VoiceTimeline& voice() const { return m_timeline; }
    // The line being sung and the highlighted note (an index into voice().notes); −1 for none.
    int currentLine() const { return m_line; }
    int highlightedNote() const { return m_highlighted; }
    // The play position of the latest step.
    double lastStepMs() const { return m_lastMs; }

private:
    void highlight(int note);
    std::size_t lineAt(double t) const;

    const songs::StandardSong& m_song;
    int m_voice = 0;
    VoiceTimeline m_timeline;
    SoundingNoteIndex m_sounding; // over m_timeline.notes
    int m_line = -1;
    int m_highlighted = -1;
    std::size_t m_entered = 0;
    bool m_finished = false;
    bool m_judging = false;
    double m_lastMs = 0;
    double m_lastEndMs = 0;
};

} // namespace cantorix::session
