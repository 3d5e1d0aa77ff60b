#pragma once
// The standard song format's side of the session's song interface: one voice's notes as spans
// of song time (gap + beat × beat length), its lyric lines split at the line breaks, the line
// being sung with its syllable highlighted from the note's start to its end, the next line below
// it, and the line's notes as bars placed by time and pitch. Draws into the main window's scene
// groups; main thread only.

#include "lane_scene.h"
#include "pitch/semitone_tracker.h"
#include "song_lane.h"
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

// The material of a note's bar: gold for golden notes, faint for freestyle ones; lit while the
// note is sung. Rap notes share the normal colours and are drawn hollow instead.
const char* standardBarMaterial(songs::NoteKind kind, bool lit);

class StandardLane : public SongLane {
public:
    // The lane's left edge lies 260 pixels left of the viewer's centre; it is 520 wide.
    static constexpr double kLaneWidth = 520;
    // The bars' centres stay within these heights, so the bars sit on the staff.
    static constexpr double kLowestY = 507.5;
    static constexpr double kHighestY = 357.5;

    // song must outlive the lane; it is read again by every startSession().
    StandardLane(LaneScene scene, const songs::StandardSong& song);

    // The voice the next session sings: an index into the song's voices (out of range: the first).
    void setVoice(int voice) { m_voice = voice; }

    void startSession() override;
    void buildFirstLines() override;
    void setTextColour(scene::TColor colour) override { m_textColour = colour; }
    std::int64_t startMs() const override;
    // An end at or before the start would end the session before it begins: it is ignored.
    std::optional<std::int64_t> endMs() const override;
    double leadInTenths() const override;
    float firstSyllableX() const override;
    void step(std::int64_t positionMs) override;
    bool lyricsFinished() const override { return m_finished; }
    void clearLyrics() override;
    std::int32_t entered() const override { return static_cast<std::int32_t>(m_entered); }
    std::optional<double> entryDueMs(std::int32_t k) const override;
    // Draws the semitone reading last set, not the game's coarse value: standard notes are
    // semitones, and the trail shows the singer where they are against the bars.
    bool UpdateVoiceTrail(std::uint8_t sungValue) override;
    // The reading of the tick the next trail segment shows.
    void setSemitoneReading(const pitch::SemitoneReading& reading) { m_reading = reading; }
    // Standard notes are not judged by the game's rule: their pitches mean something else.
    std::optional<std::uint8_t> judgedPitch() const override { return std::nullopt; }

    const VoiceTimeline& timeline() const { return m_timeline; }
    // The line being sung and the highlighted note (an index into timeline().notes); −1 for none.
    int currentLine() const { return m_line; }
    int highlightedNote() const { return m_highlighted; }

private:
    void showLine(std::size_t line);
    void addLineTexts(const TimedLine& line, int row);
    void buildBars(const TimedLine& line);
    void highlight(int note);
    void startTrail(const scene::TGLHUDSprite& bar);
    std::size_t lineAt(double t) const;
    double pitchY(double pitch) const;
    double xOfTime(double ms) const;
    double trailY() const;

    LaneScene m_scene;
    const songs::StandardSong& m_song;
    int m_voice = 0;
    VoiceTimeline m_timeline;
    SoundingNoteIndex m_sounding; // over m_timeline.notes
    scene::TColor m_textColour = scene::clWhite;
    int m_line = -1;
    int m_highlighted = -1;
    std::size_t m_entered = 0;
    bool m_finished = false;
    double m_lastMs = 0;
    double m_lastEndMs = 0;
    std::vector<scene::TGLHUDSprite*> m_bars; // one per note of the line being sung
    double m_lineStartMs = 0, m_lineSpanMs = 1;
    int m_lowPitch = 0, m_highPitch = 0;
    bool m_hasBar = false;
    double m_barRightEdge = 0;
    int m_trailPitch = 0; // of the note whose trail runs: the reading is shown in its octave
    pitch::SemitoneReading m_reading;
};

} // namespace cantorix::session
