#pragma once
// Draws the standard song format's band as its timeline plays, on a darkened strip that keeps it
// readable over any picture: the line being sung with a karaoke wipe through the syllable being
// sung and the next line below it, the line's notes as outlined bars placed by time and pitch
// (golden ones shining, rap ones hollow and hatched, freestyle ones dashed), each singer's hits
// filling the bars in the singer's colour, a marker per singer where their voice is, and a
// countdown before the singing starts and in long pauses. Owns the timeline; draws into the main
// window's scene groups. Main thread only.

#include "lane_scene.h"
#include "lane_view.h"
#include "note_fills.h"
#include "pitch/semitone_tracker_port.h"
#include "session/listening_loop.h"
#include "session/standard_timeline.h"
#include "voice_markers.h"

#include <cstddef>
#include <string>
#include <vector>

namespace cantorix::stage {

// A stage singer of a band: their colour and what their marker says.
struct StageSinger {
    scene::TColor colour = scene::clWhite;
    std::string label; // "1" … "8"
};

class StandardLaneView : public LaneView {
public:
    // The lane's left edge lies 260 pixels left of the viewer's centre; it is 520 wide.
    static constexpr double kLaneWidth = 520;
    // The bars' centres stay within these heights, so the bars sit on the staff.
    static constexpr double kLowestY = 507.5;
    static constexpr double kHighestY = 357.5;
    // A pause between lines longer than this is counted down.
    static constexpr double kCountedPauseMs = 6000;

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
    void setPlace(const BandPlace& place) override;
    // The colours of the band's singers, in their order; their markers carry their numbers.
    void setTrailColours(std::vector<scene::TColor> colours) override;
    void markLost(std::size_t trail) override;
    bool countsDown() const override { return true; }

    // The band's singers with the labels their markers carry.
    void setSingers(const std::vector<StageSinger>& singers);
    // The band's caption, a duet's voice name, left of the lane and cut to the room there; empty
    // hides it.
    void setCaption(const std::string& text);

    // Steps the timeline to a play position and draws what changed.
    void step(std::int64_t positionMs);
    // What a singer's judge heard since the last call: each hit fills its span of its note's bar,
    // and the marker moves to the latest reading. Nothing shows before judging begins or for a
    // singer whose input is lost.
    void showHeard(std::size_t singer, const std::vector<session::ListeningLoop::HeardTick>& heard,
                   const pitch::SemitoneReading& latest);

    // The line shown and the note lit; −1 for none.
    int shownLine() const { return m_line; }
    int litNote() const { return m_highlighted; }
    // The bars of the line shown, in note order.
    const std::vector<BarPlace>& bars() const { return m_bars; }

private:
    void showLine(std::size_t line);
    void addLineTexts(const session::TimedLine& line, int row);
    void buildBars(const session::TimedLine& line);
    enum class BarPart { Body, Rim, Marks };
    void addBar(const session::TimedNote& note, const BarPlace& place, BarPart part);
    void highlight(int note);
    void showWhetherBegun(double positionMs);
    const char* bodyOf(songs::NoteKind kind, bool lit) const;
    void wipe(double positionMs);
    void countDown(double positionMs);
    void placeStrip();
    double pitchY(double pitch) const;
    // Where the lane's time axis starts, and where a moment of the line lies on it.
    double laneLeft() const;
    double xOfTime(double ms) const;
    float voiceY(const pitch::SemitoneReading& reading, int notePitch) const;
    std::size_t singerCount() const;

    LaneScene m_scene;
    // Stand in for the fill and marker groups a scene without them lacks: kept, never drawn.
    scene::TGLDummyCube m_unshownFills, m_unshownMarkers;
    session::StandardTimeline m_timeline;
    NoteFills m_fills;
    VoiceMarkers m_markers;
    std::vector<StageSinger> m_singers;
    std::vector<bool> m_lost;
    scene::TColor m_textColour = scene::clWhite;
    int m_line = -1;
    int m_highlighted = -1;
    std::vector<BarPlace> m_bars;                  // one per note of the line being sung
    std::vector<scene::TGLHUDSprite*> m_fillOfBar; // the bar's fill, lit while its note is sung
    double m_lineStartMs = 0, m_lineSpanMs = 1;
    int m_lowPitch = 0, m_highPitch = 0;
    double m_lastGlideMs = 0;
    bool m_lineBegun = false; // the line shown is about to be sung, or is: its bars are solid
};

} // namespace cantorix::stage
