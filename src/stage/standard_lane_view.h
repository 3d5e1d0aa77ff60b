#pragma once
// Draws the standard song format's lane as its timeline plays: the line being sung with its
// syllable highlighted from the note's start to its end, the next line below it, the line's notes
// as bars placed by time and pitch, and the singer's semitone trail. Owns the timeline; draws into
// the main window's scene groups. Main thread only.

#include "lane_scene.h"
#include "lane_view.h"
#include "pitch/semitone_tracker_port.h"
#include "session/standard_timeline.h"
#include "voice_trails.h"

#include <cstddef>
#include <vector>

namespace cantorix::stage {

// The material of a note's bar: gold for golden notes, faint for freestyle ones; lit while the
// note is sung. Rap notes share the normal colours and are drawn hollow instead.
const char* standardBarMaterial(songs::NoteKind kind, bool lit);

class StandardLaneView : public LaneView {
public:
    // The lane's left edge lies 260 pixels left of the viewer's centre; it is 520 wide.
    static constexpr double kLaneWidth = 520;
    // The bars' centres stay within these heights, so the bars sit on the staff.
    static constexpr double kLowestY = 507.5;
    static constexpr double kHighestY = 357.5;

    // song must outlive the view; it is read again by every startSession().
    StandardLaneView(LaneScene scene, const songs::StandardSong& song);

    session::StandardTimeline& timeline() override { return m_timeline; }
    const session::StandardTimeline& timeline() const override { return m_timeline; }

    void startSession() override;
    void buildFirstLines() override;
    void setTextColour(scene::TColor colour) override { m_textColour = colour; }
    float firstSyllableX() const override;
    void follow() override;
    void clearLyrics() override;
    void setPlace(const BandPlace& place) override { m_scene.place = place; }
    void setTrailColours(std::vector<scene::TColor> colours) override {
        m_trails.setColours(std::move(colours));
    }
    void markLost(std::size_t trail) override { m_trails.markLost(trail); }

    // Steps the timeline to a play position and draws what changed.
    void step(std::int64_t positionMs);
    // One segment of a singer's trail for the semitone reading of the previous analysis tick, not
    // the game's coarse value: standard notes are semitones, and the trail shows the singer where
    // they are against the bars. False, drawing nothing, while the timeline has not begun judging;
    // a lost trail draws nothing either.
    bool drawVoiceTrail(const pitch::SemitoneReading& reading, std::size_t trail = 0);

    // The line shown and the note lit; −1 for none.
    int shownLine() const { return m_line; }
    int litNote() const { return m_highlighted; }

private:
    void showLine(std::size_t line);
    void addLineTexts(const session::TimedLine& line, int row);
    void buildBars(const session::TimedLine& line);
    void highlight(int note);
    double pitchY(double pitch) const;
    double xOfTime(double ms) const;
    double trailY(const pitch::SemitoneReading& reading) const;

    LaneScene m_scene;
    VoiceTrails m_trails;
    session::StandardTimeline m_timeline;
    scene::TColor m_textColour = scene::clWhite;
    int m_line = -1;
    int m_highlighted = -1;
    std::vector<scene::TGLHUDSprite*> m_bars; // one per note of the line being sung
    double m_lineStartMs = 0, m_lineSpanMs = 1;
    int m_lowPitch = 0, m_highPitch = 0;
    double m_barRightEdge = 0;
    int m_trailPitch = 0; // of the note whose trail runs: the reading is shown in its octave
};

} // namespace cantorix::stage
