#include "lyric_lines.h"

namespace cantorix::stage {

using scene::TGLBaseSceneObject;
using scene::TGLDummyCube;
using scene::TGLHUDSprite;
using scene::TGLHUDText;

LyricLines::LyricLines(LaneScene scene, session::GameLyricLayout& layout)
    : m_scene(scene), m_layout(layout) {}

TGLBaseSceneObject* LyricLines::currentLine() const {
    return m_scene.singText.count() > 0 ? &m_scene.singText.child(0) : nullptr;
}

void LyricLines::clear() {
    m_scene.tabulature.deleteChildren();
    m_scene.singText.deleteChildren();
}

void LyricLines::draw(const session::GameLineBuild& build) {
    if (build.cleared) {
        clear();
        return;
    }
    m_scene.hudSprite11.setWidth(0);
    m_scene.singText.deleteChildren();
    const auto& records = m_layout.song().songRecords();
    for (std::size_t line = 0; line < build.lines.size(); ++line) {
        auto& group = m_scene.singText.addNewChild<TGLDummyCube>();
        float x = 0;
        for (std::size_t k : build.lines[line])
            addSyllable(records[k], group, static_cast<int>(line), x);
        if (build.closed[line])
            centre(group);
    }
    if (build.barsBuilt)
        drawBars();
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
    text.setText(m_layout.song().displayText(record.syllable));
    text.setFont(&m_scene.singingText);
    text.setAlignment(scene::TAlignment::taLeftJustify);
    text.setLayout(scene::TTextLayout::tlCenter);
    text.setPosition(
        {200.0f + x, m_scene.place.lyricsY + m_scene.place.lyricsSpacing * static_cast<float>(line),
         0});
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
    if (m_layout.BuildBars())
        drawBars();
}

void LyricLines::drawBars() {
    m_scene.tabulature.deleteChildren();
    const TGLBaseSceneObject* line = currentLine();
    if (m_layout.barCount() == 0 || !line)
        return;
    int sum = 0;
    for (int j = 0; j < line->count(); ++j)
        sum += line->child(j).tag();
    const double half = static_cast<double>(m_scene.viewerWidth / 2);
    double acc = 0;
    for (int j = 0; j < line->count(); ++j) {
        const TGLBaseSceneObject& syllable = line->child(j);
        const double w = 520.0 / sum * syllable.tag() - 20.0;
        auto& bar = m_scene.tabulature.addNewChild<TGLHUDSprite>();
        bar.setPosition({static_cast<float>(acc + half - 260.0 + w / 2),
                         static_cast<float>(laneY(syllable.tagFloat(), m_layout.song().octaveBand(),
                                                  m_scene.place)),
                         0});
        bar.setHeight(15);
        bar.setWidth(static_cast<float>(w));
        bar.setMaterial({&m_scene.materials, "Knob1"});
        acc += w + 20.0;
    }
}

} // namespace cantorix::stage
