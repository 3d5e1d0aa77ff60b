#pragma once
// The game format's timeline as the song plays: `UpdateLane` enters the song records as the beat
// counter reaches them (the syllable to highlight, the target pitch, line changes). Records are
// entered in their beat windows. Owns the lyric line layout; keeps a log of what the latest step
// changed, which the lane's view draws. Main thread only.

#include "game_lyric_layout.h"
#include "song_timeline.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cantorix::session {

// `CurrentBeat` until the lead-in has passed.
inline constexpr std::int32_t kBeatBeforeLeadIn = -500;

// One change a step made, in order: a syllable of the line being sung is highlighted (every other
// one dims; one past the line's end dims them all), or the lyric lines were built anew: the first
// lines of a session, or the next line after a break (which starts a new voice trail).
struct GameLaneChange {
    enum class Kind { Highlight, FirstLines, NextLine };
    Kind kind = Kind::Highlight;
    int syllable = 0;
    GameLineBuild build;
};

class GameTimeline : public SongTimeline {
public:
    explicit GameTimeline(const songs::SongFile& song);

    GameLyricLayout& layout() { return m_layout; }
    const GameLyricLayout& layout() const { return m_layout; }
    const songs::SongFile& song() const { return m_song; }

    // A new session starts at the song's first record with no bar highlighted and no target,
    // so neither the trail nor scoring runs before the session's first note is entered.
    void startSession() override;
    // Lays out the first lines: a first-lines change.
    void startFirstLines() override;
    double leadInTenths() const override { return m_song.leadInTime(); }
    // Turns the play position into `CurrentBeat` and runs `UpdateLane` with it.
    void step(std::int64_t positionMs) override;
    bool lyricsFinished() const override { return m_layout.lyricsState() == kLyricsFinished; }
    std::int32_t entered() const override { return m_recordIndex; }
    // The position from which record k's beat is reached; none past the last note or break.
    std::optional<double> entryDueMs(std::int32_t k) const override;
    bool judging() const override { return m_currentBar >= 0; }
    std::optional<std::uint8_t> judgedPitch() const override { return m_targetPitch; }

    // Enters, in order, every record from `RecordIndex` up to the one due at currentBeat.
    void UpdateLane(std::int32_t currentBeat);
    // What the latest step (or the first lines) changed, in order.
    const std::vector<GameLaneChange>& changes() const { return m_changes; }

    std::int32_t currentBeat() const { return m_currentBeat; }
    std::uint8_t targetPitch() const { return m_targetPitch; }
    bool hasCurrentBar() const { return m_currentBar >= 0; }
    int currentBarIndex() const { return m_currentBar; }
    std::int32_t recordIndex() const { return m_recordIndex; }
    std::int32_t syllableIndex() const { return m_syllableIndex; }

private:
    // The last record from `RecordIndex` on whose window holds beat, or −1 if none does. The
    // end of the lyrics counts as one more record, whose window opens when the last note ends.
    std::int64_t dueRecord(std::int32_t beat) const;
    std::int64_t windowStart(std::size_t k) const;
    void enterRecord(std::size_t e);
    void highlight(int syllable, std::uint8_t pitch);
    void buildLines(GameLaneChange::Kind kind);

    const songs::SongFile& m_song;
    GameLyricLayout m_layout;
    std::vector<GameLaneChange> m_changes;
    std::int32_t m_currentBeat = kBeatBeforeLeadIn;
    std::int32_t m_recordIndex = 0;
    std::int32_t m_syllableIndex = 0;
    std::uint8_t m_targetPitch = 0;
    int m_currentBar = -1; // index of the highlighted bar in its line; −1 while none is
};

} // namespace cantorix::session
