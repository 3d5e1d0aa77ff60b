#include "lyric_lines.h"

#include <algorithm>

namespace cantorix::session {

using scene::TGLBaseSceneObject;
using scene::TGLDummyCube;
using scene::TGLHUDSprite;
using scene::TGLHUDText;

LyricLines::LyricLines(LaneScene scene, const songs::SongFile& song)
    : m_scene(scene), m_song(song) {}

void LyricLines::startSession() {
    m_nextLineStart = 0;
    m_builtThisSession = false;
    const auto& records = m_song.songRecords();
    m_lyricsEnd = std::min(m_song.recordCount(), records.size());
    while (m_lyricsEnd > 0 && records[m_lyricsEnd - 1] == songs::SongRecord{})
        --m_lyricsEnd;
}

TGLBaseSceneObject* LyricLines::currentLine() const {
    return m_scene.singText.count() > 0 ? &m_scene.singText.child(0) : nullptr;
}

void LyricLines::clear() {
    m_scene.tabulature.deleteChildren();
    m_scene.singText.deleteChildren();
}

void LyricLines::BuildLines() {
    if (m_lyricsState == kLyricsFinished) {
        clear();
        return;
    }
    m_scene.hudSprite11.setWidth(0);
    if (m_builtThisSession) {
        // The old preview line becomes the current one.
        const int previewCount =
            m_scene.singText.count() > 1 ? m_scene.singText.child(1).count() : 0;
        m_nextLineStart = std::max(0, m_nextLineStart - previewCount - 1);
    }
    m_builtThisSession = true;
    m_scene.singText.deleteChildren();
    TGLBaseSceneObject* group = &m_scene.singText.addNewChild<TGLDummyCube>();

    // The end of the lyrics closes the line being laid out as a break would, so the last two
    // lines are laid out, shown and sung like every other.
    const auto& records = m_song.songRecords();
    const std::size_t first = static_cast<std::size_t>(m_nextLineStart);
    const std::size_t last = std::min(first + kWalkLength - 1, m_lyricsEnd);
    int line = 0;
    float x = 0;
    for (std::size_t b = first; b <= last; ++b) {
        const bool atEnd = b == m_lyricsEnd;
        if (!atEnd && !records[b].isBreak) {
            addSyllable(records[b], *group, line, x);
            continue;
        }
        ++line;
        centre(*group);
        if (atEnd)
            m_lyricsState = kLyricsEndInView;
        if (line == 2 || atEnd) {
            m_nextLineStart = static_cast<std::int32_t>(b + 1);
            BuildBars();
            return;
        }
        x = 0;
        group = &m_scene.singText.addNewChild<TGLDummyCube>();
    }
}

void LyricLines::addSyllable(const songs::SongRecord& record, TGLBaseSceneObject& group, int line,
                             float& x) {
    auto& text = group.addNewChild<TGLHUDText>();
    if (line == 1) {
        text.setModulateColor(scene::toColorF(scene::clWhite, 0.3f));
    } else {
        text.setModulateColor(scene::toColorF(m_textColour, 0.5f));
    }
    text.setTag(record.length);
    text.setTagFloat(record.pitch);
    text.setText(m_song.displayText(record.syllable));
    text.setFont(&m_scene.singingText);
    text.setAlignment(scene::TAlignment::taLeftJustify);
    text.setLayout(scene::TTextLayout::tlCenter);
    text.setPosition({200.0f + x, 600.0f + 30.0f * static_cast<float>(line), 0});
    x += static_cast<float>(m_scene.singingText.textWidth(text.text()));
}

void LyricLines::centre(TGLBaseSceneObject& group) const {
    if (group.count() < 2)
        return;
    const float x1 = group.child(0).position().x;
    const float x2 = group.child(group.count() - 1).position().x;
    const float shift = static_cast<float>(m_scene.viewerWidth / 2) - (x1 + x2) / 2 - 20;
    for (int i = 0; i < group.count(); ++i) {
        scene::Vec3 p = group.child(i).position();
        p.x += shift;
        group.child(i).setPosition(p);
    }
}

void LyricLines::BuildBars() {
    if (m_lyricsState == kLyricsFinished)
        return;
    const TGLBaseSceneObject* line = currentLine();
    int sum = 0;
    for (int j = 0; line && j < line->count(); ++j)
        sum += line->child(j).tag();
    m_scene.tabulature.deleteChildren();
    // Bars share the lane in proportion to their lengths; with no length there is nothing to share.
    if (sum == 0)
        return;
    const double half = static_cast<double>(m_scene.viewerWidth / 2);
    double acc = 0;
    for (int j = 0; j < line->count(); ++j) {
        const TGLBaseSceneObject& syllable = line->child(j);
        const double w = 520.0 / sum * syllable.tag() - 20.0;
        auto& bar = m_scene.tabulature.addNewChild<TGLHUDSprite>();
        bar.setPosition({static_cast<float>(acc + half - 260.0 + w / 2),
                         static_cast<float>(laneY(syllable.tagFloat(), m_song.octaveBand())), 0});
        bar.setHeight(15);
        bar.setWidth(static_cast<float>(w));
        bar.setMaterial({&m_scene.materials, "Knob1"});
        acc += w + 20.0;
    }
}

} // namespace cantorix::session
