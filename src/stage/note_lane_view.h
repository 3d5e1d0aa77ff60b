#pragma once
// Draws the game format's note lane as its timeline enters the song records: the highlighted
// syllable and bar, line changes, and the singer's voice trail. Owns the timeline and the lyric
// lines; draws into the main window's scene groups. Main thread only.

#include "lane_scene.h"
#include "lane_view.h"
#include "lyric_lines.h"
#include "session/game_timeline.h"
#include "voice_trails.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::stage {

class NoteLaneView : public LaneView {
public:
    NoteLaneView(LaneScene scene, const songs::SongFile& song);

    session::GameTimeline& timeline() override { return m_timeline; }
    const session::GameTimeline& timeline() const override { return m_timeline; }
    LyricLines& lines() { return m_lines; }
    const LyricLines& lines() const { return m_lines; }

    void startSession() override;
    void buildFirstLines() override;
    void setTextColour(scene::TColor colour) override { m_lines.setTextColour(colour); }
    float firstSyllableX() const override;
    void follow() override;
    void clearLyrics() override { m_lines.clear(); }
    void setPlace(const BandPlace& place) override;
    void setTrailColours(std::vector<scene::TColor> colours) override {
        m_trails.setColours(std::move(colours));
    }
    void markLost(std::size_t trail) override { m_trails.markLost(trail); }

    // Steps the timeline to a beat and draws what changed.
    void UpdateLane(std::int32_t currentBeat);
    // Adds one segment to a singer's trail for the sung value of the previous analysis tick.
    // False, drawing nothing, while the timeline has not begun judging; a lost trail draws
    // nothing either.
    bool drawVoiceTrail(std::uint8_t sungValue, std::size_t trail = 0);

    double barRightEdge() const { return m_barRightEdge; }
    double barWidth() const { return m_barWidth; }

private:
    void highlight(int syllable);
    void startNextLine(const session::GameLineBuild& build);

    LaneScene m_scene;
    VoiceTrails m_trails;
    session::GameTimeline m_timeline;
    LyricLines m_lines;
    double m_barRightEdge = 0;
    double m_barWidth = 0;
};

} // namespace cantorix::stage
