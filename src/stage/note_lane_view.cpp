#include "note_lane_view.h"

namespace cantorix::stage {

using scene::TGLBaseSceneObject;
using scene::TGLHUDSprite;
using scene::TGLHUDText;
using session::GameLaneChange;

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

NoteLaneView::NoteLaneView(LaneScene scene, const songs::SongFile& song)
    : m_scene(scene), m_trails(m_scene.singTab, m_scene.materials), m_timeline(song),
      m_lines(scene, m_timeline.layout()) {}

void NoteLaneView::startSession() {
    m_timeline.startSession();
    m_trails.startSession();
    m_barRightEdge = 0;
}

void NoteLaneView::setPlace(const BandPlace& place) {
    m_scene.place = place;
    m_lines.setPlace(place);
}

void NoteLaneView::buildFirstLines() {
    m_timeline.startFirstLines();
    follow();
}

void NoteLaneView::UpdateLane(std::int32_t currentBeat) {
    m_timeline.UpdateLane(currentBeat);
    follow();
}

float NoteLaneView::firstSyllableX() const {
    const TGLBaseSceneObject* line = m_lines.currentLine();
    return line && line->count() > 0 ? line->child(0).position().x : 0.0f;
}

void NoteLaneView::follow() {
    for (const GameLaneChange& change : m_timeline.changes()) {
        switch (change.kind) {
        case GameLaneChange::Kind::Highlight:
            highlight(change.syllable);
            break;
        case GameLaneChange::Kind::FirstLines:
            m_lines.draw(change.build);
            break;
        case GameLaneChange::Kind::NextLine:
            startNextLine(change.build);
            break;
        }
    }
}

void NoteLaneView::highlight(int syllable) {
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
    TGLHUDSprite* bar = spriteAt(m_scene.tabulature, syllable);
    if (!bar)
        return; // a line without bars still highlights its syllables
    bar->setMaterial({&m_scene.materials, "Knob2"});
    if (syllable >= m_scene.singTab.tag()) {
        m_barRightEdge = m_trails.startAt(*bar);
        m_barWidth = bar->width();
    }
}

void NoteLaneView::startNextLine(const session::GameLineBuild& build) {
    m_lines.draw(build);
    m_trails.clear();
    m_barRightEdge = 0;
}

bool NoteLaneView::drawVoiceTrail(std::uint8_t sungValue, std::size_t trail) {
    if (!m_timeline.judging())
        return false;
    TGLBaseSceneObject* group = m_trails.drawable(trail);
    const TGLHUDSprite* previous = group ? spriteAt(*group, group->count() - 1) : nullptr;
    if (!previous)
        return true;
    const double px = previous->position().x;
    const double x = px >= m_barRightEdge ? px : px + previous->width() / 2.0;
    const double y = laneY(sungValue, m_timeline.song().octaveBand(), m_scene.place);
    m_trails.addSegment(trail, *group, {static_cast<float>(x), static_cast<float>(y), 0},
                        static_cast<float>(m_barWidth / 7.0), 15);
    return true;
}

} // namespace cantorix::stage
