#include "standard_lane_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cantorix::stage {

using scene::TGLBaseSceneObject;
using scene::TGLDummyCube;
using scene::TGLHUDSprite;
using scene::TGLHUDText;
using session::TimedLine;
using session::TimedNote;
using songs::NoteKind;

namespace {

constexpr float kCurrentAlpha = 0.5f;
constexpr float kSungAlpha = 1.0f;
constexpr float kNextAlpha = 0.3f;
constexpr float kBarHeight = 15;
constexpr float kGoldenBarHeight = 21;
constexpr float kRimWidth = 2;      // of a rap note's hollow bar
constexpr double kTickMs = 50;      // one analysis tick: one trail segment
constexpr double kMiddleCMidi = 60; // pitch 0 of a standard song
// A sung value of silence draws its segment far above the lane, out of sight.
constexpr double kSilenceY = -1000;

bool isGolden(NoteKind kind) {
    return kind == NoteKind::Golden || kind == NoteKind::GoldenRap;
}
bool isRap(NoteKind kind) {
    return kind == NoteKind::Rap || kind == NoteKind::GoldenRap;
}

void setAlpha(TGLBaseSceneObject& node, float alpha) {
    if (auto* text = dynamic_cast<TGLHUDText*>(&node)) {
        scene::ColorF colour = text->modulateColor();
        colour.a = alpha;
        text->setModulateColor(colour);
    }
}

} // namespace

const char* standardBarMaterial(NoteKind kind, bool lit) {
    if (isGolden(kind))
        return lit ? "KnobGold2" : "KnobGold1";
    if (kind == NoteKind::Freestyle)
        return lit ? "KnobFaint2" : "KnobFaint1";
    return lit ? "Knob2" : "Knob1";
}

StandardLaneView::StandardLaneView(LaneScene scene, const songs::StandardSong& song)
    : m_scene(scene), m_trails(m_scene.singTab, m_scene.materials), m_timeline(song) {}

void StandardLaneView::startSession() {
    m_timeline.startSession();
    m_line = -1;
    m_highlighted = -1;
    m_barRightEdge = 0;
    m_bars.clear();
    m_trails.startSession();
}

void StandardLaneView::buildFirstLines() {
    m_timeline.startFirstLines();
    clearLyrics();
    if (m_timeline.currentLine() >= 0)
        showLine(static_cast<std::size_t>(m_timeline.currentLine()));
}

float StandardLaneView::firstSyllableX() const {
    if (m_scene.singText.count() == 0 || m_scene.singText.child(0).count() == 0)
        return 0.0f;
    return m_scene.singText.child(0).child(0).position().x;
}

void StandardLaneView::clearLyrics() {
    m_scene.tabulature.deleteChildren();
    m_scene.singText.deleteChildren();
    m_bars.clear();
}

void StandardLaneView::step(std::int64_t positionMs) {
    m_timeline.step(positionMs);
    follow();
}

void StandardLaneView::follow() {
    if (m_timeline.currentLine() != m_line && m_timeline.currentLine() >= 0)
        showLine(static_cast<std::size_t>(m_timeline.currentLine()));
    highlight(m_timeline.highlightedNote());
}

void StandardLaneView::showLine(std::size_t line) {
    m_line = static_cast<int>(line);
    m_highlighted = -1;
    clearLyrics();
    const TimedLine& current = m_timeline.voice().lines[line];
    addLineTexts(current, 0);
    if (line + 1 < m_timeline.voice().lines.size())
        addLineTexts(m_timeline.voice().lines[line + 1], 1);
    buildBars(current);
    // The trails belong to the notes of one line.
    m_trails.clear();
    m_barRightEdge = 0;
}

void StandardLaneView::addLineTexts(const TimedLine& line, int row) {
    auto& group = m_scene.singText.addNewChild<TGLDummyCube>();
    float x = 0;
    for (std::size_t k = line.first; k < line.last; ++k) {
        auto& text = group.addNewChild<TGLHUDText>();
        text.setModulateColor(row == 0 ? scene::toColorF(m_textColour, kCurrentAlpha)
                                       : scene::toColorF(scene::clWhite, kNextAlpha));
        text.setText(m_timeline.voice().notes[k].note.text);
        text.setFont(&m_scene.singingText);
        text.setAlignment(scene::TAlignment::taLeftJustify);
        text.setLayout(scene::TTextLayout::tlCenter);
        text.setPosition(
            {x, m_scene.place.lyricsY + m_scene.place.lyricsSpacing * static_cast<float>(row), 0});
        x += static_cast<float>(m_scene.singingText.textWidth(text.text()));
    }
    // Centred on the viewer as a whole line, spaces and all.
    const float shift = static_cast<float>(m_scene.viewerWidth / 2) - x / 2;
    for (int i = 0; i < group.count(); ++i) {
        scene::Vec3 p = group.child(i).position();
        p.x += shift;
        group.child(i).setPosition(p);
    }
}

void StandardLaneView::buildBars(const TimedLine& line) {
    const auto& notes = m_timeline.voice().notes;
    m_lineStartMs = notes[line.first].startMs;
    double end = m_lineStartMs;
    m_lowPitch = m_highPitch = notes[line.first].note.pitch;
    for (std::size_t k = line.first; k < line.last; ++k) {
        end = std::max(end, notes[k].endMs);
        m_lowPitch = std::min(m_lowPitch, notes[k].note.pitch);
        m_highPitch = std::max(m_highPitch, notes[k].note.pitch);
    }
    m_lineSpanMs = std::max(1.0, end - m_lineStartMs);
    for (std::size_t k = line.first; k < line.last; ++k) {
        const TimedNote& n = notes[k];
        const double left = xOfTime(n.startMs);
        const double width = std::max(2.0, xOfTime(n.endMs) - left - 2.0);
        const float height = isGolden(n.note.kind) ? kGoldenBarHeight : kBarHeight;
        const scene::Vec3 centre{static_cast<float>(left + width / 2),
                                 static_cast<float>(pitchY(n.note.pitch)), 0};
        auto& bar = m_scene.tabulature.addNewChild<TGLHUDSprite>();
        bar.setPosition(centre);
        bar.setWidth(static_cast<float>(width));
        bar.setHeight(height);
        bar.setMaterial({&m_scene.materials, standardBarMaterial(n.note.kind, false)});
        m_bars.push_back(&bar);
        if (isRap(n.note.kind)) {
            // Hollow: a dark inside leaves a rim of the bar's colour.
            auto& inside = m_scene.tabulature.addNewChild<TGLHUDSprite>();
            inside.setPosition(centre);
            inside.setWidth(std::max(0.0f, static_cast<float>(width) - 2 * kRimWidth));
            inside.setHeight(height - 2 * kRimWidth);
            inside.setMaterial({&m_scene.materials, "KnobHole"});
        }
    }
}

double StandardLaneView::xOfTime(double ms) const {
    const double left = static_cast<double>(m_scene.viewerWidth / 2) - kLaneWidth / 2;
    return left + (ms - m_lineStartMs) / m_lineSpanMs * kLaneWidth;
}

double StandardLaneView::pitchY(double pitch) const {
    const double shift = m_scene.place.staffShift;
    if (m_highPitch == m_lowPitch)
        return (kLowestY + kHighestY) / 2 + shift;
    return kLowestY + shift -
           (pitch - m_lowPitch) / (m_highPitch - m_lowPitch) * (kLowestY - kHighestY);
}

void StandardLaneView::highlight(int note) {
    if (note == m_highlighted || m_line < 0)
        return;
    const TimedLine& line = m_timeline.voice().lines[static_cast<std::size_t>(m_line)];
    TGLBaseSceneObject* texts = m_scene.singText.count() > 0 ? &m_scene.singText.child(0) : nullptr;
    const auto set = [&](int k, bool lit) {
        if (k < static_cast<int>(line.first) || k >= static_cast<int>(line.last))
            return;
        const auto i = static_cast<std::size_t>(k) - line.first;
        if (texts && static_cast<int>(i) < texts->count())
            setAlpha(texts->child(static_cast<int>(i)), lit ? kSungAlpha : kCurrentAlpha);
        if (i < m_bars.size())
            m_bars[i]->setMaterial(
                {&m_scene.materials,
                 standardBarMaterial(
                     m_timeline.voice().notes[static_cast<std::size_t>(k)].note.kind, lit)});
    };
    set(m_highlighted, false);
    set(note, true);
    m_highlighted = note;
    if (note >= static_cast<int>(line.first) && note < static_cast<int>(line.last)) {
        const auto i = static_cast<std::size_t>(note) - line.first;
        if (i < m_bars.size() && static_cast<int>(i) >= m_scene.singTab.tag()) {
            m_trailPitch = m_timeline.voice().notes[static_cast<std::size_t>(note)].note.pitch;
            m_barRightEdge = m_trails.startAt(*m_bars[i]);
        }
    }
}

double StandardLaneView::trailY(const pitch::SemitoneReading& reading) const {
    if (!reading.voiced || !std::isfinite(reading.midiNote))
        return kSilenceY;
    // On the song's scale, folded into the octave of the bar being sung, so a singer an octave
    // or two away still sees how far off the note they are.
    double semitone = reading.midiNote - kMiddleCMidi;
    semitone += 12.0 * std::round((m_trailPitch - semitone) / 12.0);
    const double shift = m_scene.place.staffShift;
    return std::clamp(pitchY(semitone), kHighestY - 7.5 + shift, kLowestY + 7.5 + shift);
}

bool StandardLaneView::drawVoiceTrail(const pitch::SemitoneReading& reading, std::size_t trail) {
    if (!m_timeline.judging())
        return false;
    TGLBaseSceneObject* group = m_trails.drawable(trail);
    if (!group || m_lineSpanMs <= 0)
        return true;
    // The trail follows the song's time along the lane and stops at the end of the last bar sung.
    const double x = std::min(xOfTime(m_timeline.lastStepMs()), m_barRightEdge);
    m_trails.addSegment(
        trail, *group, {static_cast<float>(x), static_cast<float>(trailY(reading)), 0},
        static_cast<float>(std::max(2.0, kTickMs / m_lineSpanMs * kLaneWidth)), kBarHeight);
    return true;
}

} // namespace cantorix::stage
