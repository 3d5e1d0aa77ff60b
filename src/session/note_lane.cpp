#include "note_lane.h"

#include "session_clock.h"

#include <algorithm>

namespace cantorix::session {

using scene::TGLBaseSceneObject;
using scene::TGLHUDSprite;
using scene::TGLHUDText;

namespace {

void setAlpha(TGLBaseSceneObject& node, float alpha) {
    if (auto* text = dynamic_cast<TGLHUDText*>(&node)) {
        scene::ColorF colour = text->modulateColor();
        colour.a = alpha;
        text->setModulateColor(colour);
    }
}

TGLHUDSprite* spriteAt(TGLBaseSceneObject& group, int index) {
    return index >= 0 && index < group.count() ? dynamic_cast<TGLHUDSprite*>(&group.child(index))
                                               : nullptr;
}

} // namespace

NoteLane::NoteLane(LaneScene scene, const songs::SongFile& song)
    : m_scene(scene), m_song(song), m_lines(scene, song) {}

void NoteLane::startSession() {
    m_lines.startSession();
    m_recordIndex = 0;
    m_syllableIndex = 0;
    m_barRightEdge = 0;
    m_targetPitch = 0;
    m_currentBar = -1;
}

void NoteLane::step(std::int64_t positionMs) {
    m_currentBeat = beatAt(positionMs, m_song.leadInTime(), m_song.bpm());
    UpdateLane(m_currentBeat);
}

std::optional<double> NoteLane::entryDueMs(std::int32_t k) const {
    if (k < 0 || static_cast<std::size_t>(k) >= m_lines.lyricsEnd())
        return std::nullopt;
    const auto& records = m_song.songRecords();
    return beatReachedMs(records[static_cast<std::size_t>(k)].startBeat - records[0].startBeat,
                         m_song.leadInTime(), m_song.bpm());
}

float NoteLane::firstSyllableX() const {
    const TGLBaseSceneObject* line = m_lines.currentLine();
    return line && line->count() > 0 ? line->child(0).position().x : 0.0f;
}

std::int64_t NoteLane::windowStart(std::size_t k) const {
    const auto& records = m_song.songRecords();
    const std::size_t end = m_lines.lyricsEnd();
    if (k < end)
        return records[k].startBeat;
    if (end == 0)
        return 0;
    const songs::SongRecord& last = records[end - 1];
    return last.isBreak ? last.startBeat : std::int64_t{last.startBeat} + last.length;
}

std::int64_t NoteLane::dueRecord(std::int32_t beat) const {
    const std::size_t end = m_lines.lyricsEnd();
    const std::int64_t s0 = windowStart(0);
    std::int64_t due = -1;
    for (std::size_t k = static_cast<std::size_t>(m_recordIndex);
         k <= end && windowStart(k) - s0 <= beat; ++k) {
        if (k == end || beat < windowStart(k + 1) - s0)
            due = static_cast<std::int64_t>(k);
    }
    return due;
}

void NoteLane::UpdateLane(std::int32_t currentBeat) {
    const std::int64_t due = dueRecord(currentBeat);
    // Records whose windows are empty or were passed between two ticks are entered on the way,
    // so the lane never waits for a window that will not come again.
    for (std::int64_t e = m_recordIndex; e <= due; ++e) {
        if (m_lines.lyricsState() == kLyricsFinished)
            return;
        enterRecord(static_cast<std::size_t>(e));
    }
}

void NoteLane::enterRecord(std::size_t e) {
    m_recordIndex = static_cast<std::int32_t>(e + 1);
    if (e == m_lines.lyricsEnd()) {
        // The last note is over: nothing is left to sing or to score.
        m_targetPitch = 0;
        m_lines.finish();
        return;
    }
    const songs::SongRecord& record = m_song.songRecords()[e];
    if (record.isBreak) {
        // Nothing is sung between two lines, so nothing may score there.
        m_targetPitch = 0;
        startNextLine();
        return;
    }
    highlight(m_syllableIndex, record.pitch);
    ++m_syllableIndex;
}

void NoteLane::highlight(int syllable, std::uint8_t pitch) {
    TGLBaseSceneObject* line = m_lines.currentLine();
    if (!line)
        return;
    for (int i = 0; i < line->count(); ++i)
        setAlpha(line->child(i), 0.4f);
    for (int i = 0; i < m_scene.tabulature.count(); ++i)
        if (auto* bar = spriteAt(m_scene.tabulature, i))
            bar->setMaterial({&m_scene.materials, "Knob1"});
    if (syllable >= line->count())
        return;
    setAlpha(line->child(syllable), 1.0f);
    m_targetPitch = pitch;
    TGLHUDSprite* bar = spriteAt(m_scene.tabulature, syllable);
    if (!bar)
        return; // a line without bars still highlights its syllables
    bar->setMaterial({&m_scene.materials, "Knob2"});
    if (syllable >= m_scene.singTab.tag())
        startTrail(*bar);
    m_currentBar = syllable;
}

void NoteLane::startTrail(const TGLHUDSprite& bar) {
    m_barRightEdge = startTrailAt(m_scene, bar);
    m_barWidth = bar.width();
}

void NoteLane::startNextLine() {
    m_syllableIndex = 0;
    m_lines.BuildLines();
    m_scene.singTab.deleteChildren();
    m_scene.singTab.setTag(0);
    m_barRightEdge = 0;
}

bool NoteLane::UpdateVoiceTrail(std::uint8_t sungValue) {
    if (!hasCurrentBar())
        return false;
    const int count = m_scene.singTab.count();
    const TGLHUDSprite* previous = spriteAt(m_scene.singTab, count - 1);
    if (!previous)
        return true;
    const double px = previous->position().x;
    const double x = px >= m_barRightEdge ? px : px + previous->width() / 2.0;
    auto& segment = m_scene.singTab.addNewChild<TGLHUDSprite>();
    segment.setPosition(
        {static_cast<float>(x), static_cast<float>(laneY(sungValue, m_song.octaveBand())), 0});
    segment.setHeight(15);
    segment.setWidth(static_cast<float>(m_barWidth / 7.0));
    segment.setMaterial({&m_scene.materials, "Knob3"});
    return true;
}

} // namespace cantorix::session
