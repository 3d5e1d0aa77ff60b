#pragma once
// The note lane as the song plays: `UpdateLane` enters the song records as the beat counter
// reaches them (highlight, bar colour, target pitch, line changes) and `UpdateVoiceTrail` draws
// the singer's trail. The game format's side of the session's song interface: records are
// entered in their beat windows. Owns the lyric line layout; draws into the main window's scene
// groups. Main thread only.

#include "lane_scene.h"
#include "lyric_lines.h"
#include "song_lane.h"

#include <cstddef>
#include <cstdint>

namespace cantorix::session {

class NoteLane : public SongLane {
public:
    NoteLane(LaneScene scene, const songs::SongFile& song);

    LyricLines& lines() { return m_lines; }
    const LyricLines& lines() const { return m_lines; }

    // A new session starts at the song's first record with no bar highlighted and no target,
    // so neither the trail nor scoring runs before the session's first note is entered.
    void startSession() override;

    void buildFirstLines() override { m_lines.BuildLines(); }
    void setTextColour(scene::TColor colour) override { m_lines.setTextColour(colour); }
    double leadInTenths() const override { return m_song.leadInTime(); }
    // Turns the play position into `CurrentBeat` and runs `UpdateLane` with it.
    void step(std::int64_t positionMs) override;
    bool lyricsFinished() const override { return m_lines.lyricsState() == kLyricsFinished; }
    void clearLyrics() override { m_lines.clear(); }
    std::int32_t entered() const override { return m_recordIndex; }
    // The position from which record k's beat is reached; none past the last note or break.
    std::optional<double> entryDueMs(std::int32_t k) const override;
    std::optional<std::uint8_t> judgedPitch() const override { return m_targetPitch; }
    std::int32_t currentBeat() const { return m_currentBeat; }

    // Enters, in order, every record from `RecordIndex` up to the one due at currentBeat.
    void UpdateLane(std::int32_t currentBeat);
    // Adds one trail segment for the sung value of the previous analysis tick. False while no
    // bar has been highlighted: then scoring must not run either.
    bool UpdateVoiceTrail(std::uint8_t sungValue) override;

    std::uint8_t targetPitch() const { return m_targetPitch; }
    bool hasCurrentBar() const { return m_currentBar >= 0; }
    int currentBarIndex() const { return m_currentBar; }
    std::int32_t recordIndex() const { return m_recordIndex; }
    std::int32_t syllableIndex() const { return m_syllableIndex; }
    double barRightEdge() const { return m_barRightEdge; }
    double barWidth() const { return m_barWidth; }
    // x of the first syllable of the current line, where the lead-in bar stands.
    float firstSyllableX() const override;

private:
    // The last record from `RecordIndex` on whose window holds beat, or −1 if none does. The
    // end of the lyrics counts as one more record, whose window opens when the last note ends.
    std::int64_t dueRecord(std::int32_t beat) const;
    std::int64_t windowStart(std::size_t k) const;
    void enterRecord(std::size_t e);
    void highlight(int syllable, std::uint8_t pitch);
    void startTrail(const scene::TGLHUDSprite& bar);
    void startNextLine();

    LaneScene m_scene;
    const songs::SongFile& m_song;
    LyricLines m_lines;
    std::int32_t m_currentBeat = kBeatBeforeLeadIn;
    std::int32_t m_recordIndex = 0;
    std::int32_t m_syllableIndex = 0;
    std::uint8_t m_targetPitch = 0;
    int m_currentBar = -1; // index of the highlighted bar in its line; −1 while none is
    double m_barRightEdge = 0;
    double m_barWidth = 0;
};

} // namespace cantorix::session
