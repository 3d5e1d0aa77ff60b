#include "standard_lane_view.h"

#include "singer_scores.h"
#include "stage_palette.h"

#include <algorithm>
#include <cmath>

namespace cantorix::stage {

using scene::TGLBaseSceneObject;
using scene::TGLDummyCube;
using scene::TGLHUDSprite;
using scene::TGLHUDText;
using session::TimedLine;
using session::TimedNote;
using songs::NoteKind;

namespace {

// The lyrics: what is still to be sung of the line, what has been sung, and the next line. At
// these shares the line being sung stands at more than 4.5:1 on the strip over any picture.
constexpr float kUnsungAlpha = 0.62f;
constexpr float kSungAlpha = 1.0f;
constexpr float kNextAlpha = 0.4f;
constexpr float kBarHeight = 15;
constexpr float kGoldenBarHeight = 21;
constexpr float kOutline = 2;       // around every bar
constexpr float kHatchStep = 6;     // between a rap bar's hatch marks
constexpr float kDashLength = 6;    // of a freestyle bar's dashes, and the gaps between
constexpr double kTickMs = 50;      // one analysis tick: the span a hit fills
constexpr double kMiddleCMidi = 60; // pitch 0 of a standard song
constexpr float kStripAbove = 14;   // the strip's reach above the staff's top line
constexpr float kStripBelow = 18;   // and below the next line's lyrics
constexpr float kCaptionLeft = 8;   // the band's caption, left of the lane
constexpr float kCaptionGap = 6;    // between the caption and the lane

bool isGolden(NoteKind kind) {
    return kind == NoteKind::Golden || kind == NoteKind::GoldenRap;
}
bool isRap(NoteKind kind) {
    return kind == NoteKind::Rap || kind == NoteKind::GoldenRap;
}

TGLHUDSprite& addSprite(TGLBaseSceneObject& group, const scene::MaterialRef& material, float x,
                        float y, float width, float height) {
    auto& sprite = group.addNewChild<TGLHUDSprite>();
    sprite.setPosition({x, y, 0});
    sprite.setWidth(width);
    sprite.setHeight(height);
    sprite.setMaterial(material);
    return sprite;
}

// A rim `thickness` wide around the rectangle centred at (x, y): four edges, so that what is
// drawn inside shows over the strip and not over the rim.
void addFrame(TGLBaseSceneObject& group, const scene::MaterialRef& material, float x, float y,
              float width, float height, float thickness) {
    const float outerWidth = width + 2 * thickness;
    for (const float sign : {-1.0f, 1.0f}) {
        addSprite(group, material, x, y + sign * (height + thickness) / 2, outerWidth, thickness);
        addSprite(group, material, x + sign * (width + thickness) / 2, y, thickness, height);
    }
}

void setAlpha(TGLBaseSceneObject& node, scene::TColor colour, float alpha) {
    if (auto* text = dynamic_cast<TGLHUDText*>(&node))
        text->setModulateColor(scene::toColorF(colour, alpha));
}

} // namespace

StandardLaneView::StandardLaneView(LaneScene scene, const songs::StandardSong& song)
    : m_scene(scene), m_timeline(song),
      m_fills(scene.fills ? *scene.fills : m_unshownFills, scene.materials),
      m_markers(scene.markers ? *scene.markers : m_unshownMarkers, scene.materials,
                scene.markerFont ? scene.markerFont : &scene.singingText) {}

void StandardLaneView::startSession() {
    m_timeline.startSession();
    m_line = -1;
    m_highlighted = -1;
    m_bars.clear();
    m_fillOfBar.clear();
    m_lost.assign(singerCount(), false);
    m_fills.clear();
    m_markers.hideAll();
    m_lastGlideMs = 0;
    // The band's trail group is the game format's; what a song of it drew there goes.
    m_scene.singTab.deleteChildren();
    m_scene.singTab.setTag(0);
    placeStrip();
}

void StandardLaneView::setPlace(const BandPlace& place) {
    m_scene.place = place;
    placeStrip();
}

void StandardLaneView::placeStrip() {
    if (!m_scene.strip)
        return;
    const float top = kStaffTop + m_scene.place.staffShift - kStripAbove;
    const float bottom = m_scene.place.lyricsY + m_scene.place.lyricsSpacing + kStripBelow;
    m_scene.strip->setPosition(
        {static_cast<float>(m_scene.viewerWidth) / 2, (top + bottom) / 2, 0});
    m_scene.strip->setWidth(static_cast<float>(m_scene.viewerWidth));
    m_scene.strip->setHeight(bottom - top);
    m_scene.strip->setMaterial({&m_scene.materials, kStripMaterial});
    // Left of the lane, beside the staff's top line, where no bar or marker ever stands.
    if (m_scene.caption)
        m_scene.caption->setPosition({kCaptionLeft, kStaffTop + m_scene.place.staffShift, 0});
}

void StandardLaneView::setTrailColours(std::vector<scene::TColor> colours) {
    std::vector<StageSinger> singers;
    for (std::size_t k = 0; k < colours.size(); ++k)
        singers.push_back({colours[k], std::to_string(k + 1)});
    setSingers(singers);
}

void StandardLaneView::setSingers(const std::vector<StageSinger>& singers) {
    m_singers = singers;
    std::vector<scene::TColor> colours;
    std::vector<std::string> labels;
    for (const StageSinger& singer : singers) {
        colours.push_back(singer.colour);
        labels.push_back(singer.label);
    }
    m_fills.setSingers(colours);
    m_markers.setSingers(colours, labels);
    m_lost.assign(singerCount(), false);
    // The bars grow with the singers' stripes: the line is laid out again.
    if (m_line >= 0)
        showLine(static_cast<std::size_t>(m_line));
}

void StandardLaneView::setCaption(const std::string& text) {
    if (!m_scene.caption)
        return;
    const auto room = static_cast<int>(laneLeft() - kCaptionLeft - kCaptionGap);
    // A long name is cut: the singers' names stand in their colours in the scores beside it.
    scene::TGLBitmapFont* font = m_scene.caption->font();
    m_scene.caption->setText(font ? SingerScores::fitted(text, *font, room) : text);
    m_scene.caption->setVisible(!text.empty());
}

std::size_t StandardLaneView::singerCount() const {
    return std::max<std::size_t>(1, m_singers.size());
}

void StandardLaneView::markLost(std::size_t trail) {
    if (trail < m_lost.size())
        m_lost[trail] = true;
    m_markers.aim(trail, std::nullopt, 0, 0);
}

void StandardLaneView::buildFirstLines() {
    m_timeline.startFirstLines();
    clearLyrics();
    if (m_timeline.currentLine() >= 0)
        showLine(static_cast<std::size_t>(m_timeline.currentLine()));
    countDown(static_cast<double>(m_timeline.startMs()));
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
    m_fillOfBar.clear();
    m_fills.clear();
    m_markers.hideAll();
    if (m_scene.countdown)
        m_scene.countdown->setVisible(false);
}

void StandardLaneView::step(std::int64_t positionMs) {
    m_timeline.step(positionMs);
    follow();
}

void StandardLaneView::follow() {
    if (m_timeline.currentLine() != m_line && m_timeline.currentLine() >= 0)
        showLine(static_cast<std::size_t>(m_timeline.currentLine()));
    const double now = m_timeline.lastStepMs();
    showWhetherBegun(now);
    highlight(m_timeline.highlightedNote());
    wipe(now);
    countDown(now);
    m_markers.glide(std::clamp((now - m_lastGlideMs) / 1000.0, 0.0, 0.25));
    m_lastGlideMs = now;
}

void StandardLaneView::showLine(std::size_t line) {
    m_line = static_cast<int>(line);
    m_highlighted = -1;
    clearLyrics();
    const TimedLine& current = m_timeline.voice().lines[line];
    addLineTexts(current, 0);
    if (line + 1 < m_timeline.voice().lines.size())
        addLineTexts(m_timeline.voice().lines[line + 1], 1);
    else
        m_scene.singText.addNewChild<TGLDummyCube>(); // no next line
    // The wipe's letters of the syllable being sung.
    m_scene.singText.addNewChild<TGLDummyCube>().setTag(-1);
    m_lineBegun = false;
    buildBars(current);
    showWhetherBegun(m_timeline.lastStepMs());
}

void StandardLaneView::addLineTexts(const TimedLine& line, int row) {
    auto& group = m_scene.singText.addNewChild<TGLDummyCube>();
    float x = 0;
    for (std::size_t k = line.first; k < line.last; ++k) {
        auto& text = group.addNewChild<TGLHUDText>();
        text.setModulateColor(row == 0 ? scene::toColorF(m_textColour, kUnsungAlpha)
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
        const float designed = isGolden(n.note.kind) ? kGoldenBarHeight : kBarHeight;
        const BarPlace place{n.startMs,
                             n.endMs,
                             static_cast<float>(left),
                             static_cast<float>(width),
                             static_cast<float>(pitchY(n.note.pitch)),
                             barHeightFor(designed, singerCount())};
        m_bars.push_back(place);
    }
    // Part by part over all bars: sprites of one material follow each other and are drawn in one
    // call, which a software renderer feels.
    for (const BarPart part : {BarPart::Body, BarPart::Rim, BarPart::Marks})
        for (std::size_t k = line.first; k < line.last; ++k)
            addBar(notes[k], m_bars[k - line.first], part);
}

void StandardLaneView::addBar(const TimedNote& n, const BarPlace& place, BarPart part) {
    TGLBaseSceneObject& bars = m_scene.tabulature;
    auto& materials = m_scene.materials;
    const float x = place.left + place.width / 2, y = place.centreY;
    const NoteKind kind = n.note.kind;
    const bool golden = isGolden(kind);
    const bool freestyle = kind == NoteKind::Freestyle;
    const scene::MaterialRef rim{&materials, golden ? kGoldOutline : kBarOutline};
    switch (part) {
    case BarPart::Body: {
        const char* body = freestyle ? kFreestyle : isRap(kind) ? kBarHollow : bodyOf(kind, false);
        m_fillOfBar.push_back(
            &addSprite(bars, {&materials, body}, x, y, place.width, place.height));
        return;
    }
    case BarPart::Rim:
        // Freestyle notes are never judged: no outline to fill, only their dashed shape.
        if (!freestyle)
            addFrame(bars, rim, x, y, place.width, place.height, kOutline);
        return;
    case BarPart::Marks:
        if (freestyle) {
            for (float dash = place.left; dash < place.left + place.width;
                 dash += 2 * kDashLength) {
                const float length = std::min(kDashLength, place.left + place.width - dash);
                for (const float edge : {y - place.height / 2, y + place.height / 2})
                    addSprite(bars, rim, dash + length / 2, edge, length, 2);
            }
        }
        if (isRap(kind)) { // hatched: spoken, not sung
            for (float mark = place.left + kHatchStep / 2; mark < place.left + place.width;
                 mark += kHatchStep)
                addSprite(bars, rim, mark, y, 1.5f, place.height * 0.6f);
        }
        if (golden) // a glint along the top edge
            addSprite(bars, {&materials, kGoldShine}, x, y - place.height / 2 + 2,
                      std::max(1.0f, place.width - 4), 2);
        return;
    }
}

double StandardLaneView::laneLeft() const {
    return static_cast<double>(m_scene.viewerWidth / 2) - kLaneWidth / 2;
}

double StandardLaneView::xOfTime(double ms) const {
    return laneLeft() + (ms - m_lineStartMs) / m_lineSpanMs * kLaneWidth;
}

double StandardLaneView::pitchY(double pitch) const {
    const double shift = m_scene.place.staffShift;
    if (m_highPitch == m_lowPitch)
        return (kLowestY + kHighestY) / 2 + shift;
    return kLowestY + shift -
           (pitch - m_lowPitch) / (m_highPitch - m_lowPitch) * (kLowestY - kHighestY);
}

const char* StandardLaneView::bodyOf(NoteKind kind, bool lit) const {
    if (isGolden(kind))
        return m_lineBegun ? kGoldFill : kGoldWaiting;
    return lit ? kBarSung : m_lineBegun ? kBarFill : kBarWaiting;
}

void StandardLaneView::showWhetherBegun(double positionMs) {
    // A line shown ahead of its singing (the first, or one after a long pause) waits faint, and
    // turns solid a moment before its first note.
    constexpr double kSolidBeforeMs = 1000;
    if (m_line < 0)
        return;
    const TimedLine& line = m_timeline.voice().lines[static_cast<std::size_t>(m_line)];
    const bool begun = positionMs >= m_timeline.voice().notes[line.first].startMs - kSolidBeforeMs;
    if (begun == m_lineBegun)
        return;
    m_lineBegun = begun;
    for (std::size_t i = 0; i < m_fillOfBar.size(); ++i) {
        const NoteKind kind = m_timeline.voice().notes[line.first + i].note.kind;
        if (kind != NoteKind::Freestyle && !isRap(kind))
            m_fillOfBar[i]->setMaterial(
                {&m_scene.materials,
                 bodyOf(kind, static_cast<int>(line.first + i) == m_highlighted)});
    }
}

void StandardLaneView::highlight(int note) {
    if (note == m_highlighted || m_line < 0)
        return;
    const TimedLine& line = m_timeline.voice().lines[static_cast<std::size_t>(m_line)];
    const auto set = [&](int k, bool lit) {
        if (k < static_cast<int>(line.first) || k >= static_cast<int>(line.last))
            return;
        const auto i = static_cast<std::size_t>(k) - line.first;
        const NoteKind kind = m_timeline.voice().notes[static_cast<std::size_t>(k)].note.kind;
        if (i < m_fillOfBar.size() && kind != NoteKind::Freestyle && !isRap(kind) &&
            !isGolden(kind))
            m_fillOfBar[i]->setMaterial({&m_scene.materials, bodyOf(kind, lit)});
    };
    set(m_highlighted, false);
    set(note, true);
    m_highlighted = note;
}

void StandardLaneView::wipe(double positionMs) {
    if (m_line < 0 || m_scene.singText.count() < 3)
        return;
    const TimedLine& line = m_timeline.voice().lines[static_cast<std::size_t>(m_line)];
    TGLBaseSceneObject& syllables = m_scene.singText.child(0);
    TGLBaseSceneObject& letters = m_scene.singText.child(2);
    const auto& notes = m_timeline.voice().notes;
    // Syllables whose notes are over are sung; the one whose note is on wipes letter by letter.
    int wiping = -1;
    for (std::size_t k = line.first; k < line.last; ++k) {
        const int i = static_cast<int>(k - line.first);
        if (i >= syllables.count())
            break;
        const bool sung = positionMs >= notes[k].endMs;
        const bool on = !sung && positionMs >= notes[k].startMs;
        setAlpha(syllables.child(i), m_textColour, sung ? kSungAlpha : kUnsungAlpha);
        if (on)
            wiping = i;
    }
    if (wiping < 0) {
        letters.deleteChildren();
        letters.setTag(-1);
        return;
    }
    const TimedNote& note = notes[line.first + static_cast<std::size_t>(wiping)];
    const auto& syllable = dynamic_cast<const TGLHUDText&>(syllables.child(wiping));
    if (letters.tag() != wiping) {
        // The syllable's letters, laid over it, each lit once the note has come to its middle.
        letters.deleteChildren();
        letters.setTag(wiping);
        float x = syllable.position().x;
        const std::string& text = syllable.text();
        for (std::size_t at = 0; at < text.size();) {
            std::size_t next = at + 1;
            while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
                ++next;
            auto& letter = letters.addNewChild<TGLHUDText>();
            letter.setText(text.substr(at, next - at));
            letter.setFont(&m_scene.singingText);
            letter.setAlignment(scene::TAlignment::taLeftJustify);
            letter.setLayout(scene::TTextLayout::tlCenter);
            letter.setPosition({x, syllable.position().y, 0});
            letter.setVisible(false);
            letter.setModulateColor(scene::toColorF(m_textColour, kSungAlpha));
            x += static_cast<float>(m_scene.singingText.textWidth(letter.text()));
            at = next;
        }
    }
    const float left = syllable.position().x;
    const float width = static_cast<float>(m_scene.singingText.textWidth(syllable.text()));
    const double share = std::clamp(
        (positionMs - note.startMs) / std::max(1.0, note.endMs - note.startMs), 0.0, 1.0);
    const float reached = left + static_cast<float>(share) * width;
    for (int i = 0; i < letters.count(); ++i) {
        auto& letter = dynamic_cast<TGLHUDText&>(letters.child(i));
        const float middle = letter.position().x +
                             static_cast<float>(m_scene.singingText.textWidth(letter.text())) / 2;
        letter.setVisible(middle <= reached);
    }
}

void StandardLaneView::countDown(double positionMs) {
    if (!m_scene.countdown)
        return;
    const auto& lines = m_timeline.voice().lines;
    const auto& notes = m_timeline.voice().notes;
    bool shown = false;
    if (m_line >= 0 && static_cast<std::size_t>(m_line) < lines.size()) {
        const std::size_t line = static_cast<std::size_t>(m_line);
        const double first = notes[lines[line].first].startMs;
        const double before =
            line == 0 ? m_timeline.startMs() : notes[lines[line - 1].last - 1].endMs;
        const double left = first - positionMs;
        shown = left > 0 && (line == 0 || first - before > kCountedPauseMs);
        if (shown) {
            m_scene.countdown->setText(std::to_string(static_cast<int>(std::ceil(left / 1000.0))));
            m_scene.countdown->setPosition({firstSyllableX() - 30, m_scene.place.lyricsY, 0});
        }
    }
    m_scene.countdown->setVisible(shown);
}

float StandardLaneView::voiceY(const pitch::SemitoneReading& reading, int notePitch) const {
    // On the song's scale, folded into the octave of the note being sung, as the judge folds it,
    // so a singer an octave or two away still sees how far off the note they are.
    double semitone = reading.midiNote - kMiddleCMidi;
    semitone += 12.0 * std::round((notePitch - semitone) / 12.0);
    const double shift = m_scene.place.staffShift;
    return static_cast<float>(
        std::clamp(pitchY(semitone), kHighestY - 7.5 + shift, kLowestY + 7.5 + shift));
}

void StandardLaneView::showHeard(std::size_t singer,
                                 const std::vector<session::ListeningLoop::HeardTick>& heard,
                                 const pitch::SemitoneReading& latest) {
    if (singer < m_lost.size() && m_lost[singer])
        return;
    if (m_line >= 0) {
        const TimedLine& line = m_timeline.voice().lines[static_cast<std::size_t>(m_line)];
        for (const session::ListeningLoop::HeardTick& tick : heard) {
            const int note = tick.verdict.note;
            if (tick.verdict.points <= 0 || note < static_cast<int>(line.first) ||
                note >= static_cast<int>(line.last))
                continue;
            const auto bar = static_cast<std::size_t>(note) - line.first;
            m_fills.fill(singer, bar, m_bars[bar], tick.verdict.songMs - kTickMs / 2,
                         tick.verdict.songMs + kTickMs / 2);
        }
    }
    const int note = m_timeline.highlightedNote();
    const bool voiced = latest.voiced && std::isfinite(latest.midiNote);
    if (!m_timeline.judging() || m_line < 0 || note < 0 || !voiced) {
        m_markers.aim(singer, std::nullopt, 0, 0);
        return;
    }
    const TimedLine& line = m_timeline.voice().lines[static_cast<std::size_t>(m_line)];
    if (note < static_cast<int>(line.first) || note >= static_cast<int>(line.last)) {
        m_markers.aim(singer, std::nullopt, 0, 0);
        return;
    }
    const BarPlace& bar = m_bars[static_cast<std::size_t>(note) - line.first];
    const int pitch = m_timeline.voice().notes[static_cast<std::size_t>(note)].note.pitch;
    // The markers stand side by side around the song's place, all of them within the lane.
    const double laneRight = xOfTime(m_lineStartMs + m_lineSpanMs);
    const double halfRow =
        kMarkerSpacing * static_cast<double>(singerCount() - 1) / 2 + kMarkerSize / 2;
    const double x =
        std::min(std::clamp(xOfTime(m_timeline.lastStepMs()), static_cast<double>(bar.left),
                            static_cast<double>(bar.left + bar.width)),
                 laneRight - halfRow);
    m_markers.aim(singer, voiceY(latest, pitch), static_cast<float>(x), bar.centreY);
}

} // namespace cantorix::stage
