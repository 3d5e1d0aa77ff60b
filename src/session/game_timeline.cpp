#include "game_timeline.h"

#include "session_clock.h"

namespace cantorix::session {

GameTimeline::GameTimeline(const songs::SongFile& song) : m_song(song), m_layout(song) {}

void GameTimeline::startSession() {
    m_layout.startSession();
    m_changes.clear();
    m_recordIndex = 0;
    m_syllableIndex = 0;
    m_targetPitch = 0;
    m_currentBar = -1;
}

void GameTimeline::startFirstLines() {
    m_changes.clear();
    buildLines(GameLaneChange::Kind::FirstLines);
}

void GameTimeline::buildLines(GameLaneChange::Kind kind) {
    GameLaneChange change;
    change.kind = kind;
    change.build = m_layout.BuildLines();
    m_changes.push_back(std::move(change));
}

void GameTimeline::step(std::int64_t positionMs) {
    m_currentBeat = beatAt(positionMs, m_song.leadInTime(), m_song.bpm());
    UpdateLane(m_currentBeat);
}

std::optional<double> GameTimeline::entryDueMs(std::int32_t k) const {
    if (k < 0 || static_cast<std::size_t>(k) >= m_layout.lyricsEnd())
        return std::nullopt;
    const auto& records = m_song.songRecords();
    return beatReachedMs(records[static_cast<std::size_t>(k)].startBeat - records[0].startBeat,
                         m_song.leadInTime(), m_song.bpm());
}

std::int64_t GameTimeline::windowStart(std::size_t k) const {
    const auto& records = m_song.songRecords();
    const std::size_t end = m_layout.lyricsEnd();
    if (k < end)
        return records[k].startBeat;
    if (end == 0)
        return 0;
    const songs::SongRecord& last = records[end - 1];
    return last.isBreak ? last.startBeat : std::int64_t{last.startBeat} + last.length;
}

std::int64_t GameTimeline::dueRecord(std::int32_t beat) const {
    const std::size_t end = m_layout.lyricsEnd();
    const std::int64_t s0 = windowStart(0);
    std::int64_t due = -1;
    for (std::size_t k = static_cast<std::size_t>(m_recordIndex);
         k <= end && windowStart(k) - s0 <= beat; ++k) {
        if (k == end || beat < windowStart(k + 1) - s0)
            due = static_cast<std::int64_t>(k);
    }
    return due;
}

void GameTimeline::UpdateLane(std::int32_t currentBeat) {
    m_changes.clear();
    const std::int64_t due = dueRecord(currentBeat);
    // Records whose windows are empty or were passed between two ticks are entered on the way,
    // so the lane never waits for a window that will not come again.
    for (std::int64_t e = m_recordIndex; e <= due; ++e) {
        if (m_layout.lyricsState() == kLyricsFinished)
            return;
        enterRecord(static_cast<std::size_t>(e));
    }
}

void GameTimeline::enterRecord(std::size_t e) {
    m_recordIndex = static_cast<std::int32_t>(e + 1);
    if (e == m_layout.lyricsEnd()) {
        // The last note is over: nothing is left to sing or to score.
        m_targetPitch = 0;
        m_layout.finish();
        return;
    }
    const songs::SongRecord& record = m_song.songRecords()[e];
    if (record.isBreak) {
        // Nothing is sung between two lines, so nothing may score there.
        m_targetPitch = 0;
        m_syllableIndex = 0;
        buildLines(GameLaneChange::Kind::NextLine);
        return;
    }
    highlight(m_syllableIndex, record.pitch);
    ++m_syllableIndex;
}

void GameTimeline::highlight(int syllable, std::uint8_t pitch) {
    if (!m_layout.hasLine())
        return;
    GameLaneChange change;
    change.syllable = syllable;
    m_changes.push_back(std::move(change));
    if (syllable >= m_layout.currentSyllables())
        return;
    m_targetPitch = pitch;
    // A line without bars still highlights its syllables, but has nothing to trail or to judge.
    if (syllable < m_layout.barCount())
        m_currentBar = syllable;
}

} // namespace cantorix::session
