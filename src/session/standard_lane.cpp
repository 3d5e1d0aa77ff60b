#include "standard_lane.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cantorix::session {

using scene::TGLBaseSceneObject;
using scene::TGLDummyCube;
using scene::TGLHUDSprite;
using scene::TGLHUDText;
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

VoiceTimeline voiceTimeline(const songs::StandardSong& song, std::size_t voice) {
    VoiceTimeline t;
    if (voice >= song.voices.size())
        return t;
    const songs::StandardVoice& v = song.voices[voice];
    std::vector<songs::StandardNote> notes = v.notes;
    std::stable_sort(notes.begin(), notes.end(),
                     [](const auto& a, const auto& b) { return a.startBeat < b.startBeat; });
    for (const songs::StandardNote& n : notes)
        t.notes.push_back({n, song.beatToMs(n.startBeat),
                           song.beatToMs(static_cast<double>(n.startBeat) + n.length)});
    if (t.notes.empty())
        return t;
    std::vector<std::int32_t> breaks = v.breaks;
    std::sort(breaks.begin(), breaks.end());
    TimedLine line{0, 0, -std::numeric_limits<double>::infinity()};
    double lineEnd = t.notes.front().endMs;
    for (std::int32_t beat : breaks) {
        const auto at =
            std::lower_bound(notes.begin(), notes.end(), beat,
                             [](const auto& n, std::int32_t b) { return n.startBeat < b; });
        const auto split = static_cast<std::size_t>(at - notes.begin());
        if (split <= line.first || split >= notes.size())
            continue;
        line.last = split;
        t.lines.push_back(line);
        for (std::size_t k = line.first; k < split; ++k)
            lineEnd = std::max(lineEnd, t.notes[k].endMs);
        const double show = std::max(song.beatToMs(beat), lineEnd);
        line = {split, 0, std::min(show, t.notes[split].startMs)};
    }
    line.last = t.notes.size();
    t.lines.push_back(line);
    return t;
}

const char* standardBarMaterial(NoteKind kind, bool lit) {
    if (isGolden(kind))
        return lit ? "KnobGold2" : "KnobGold1";
    if (kind == NoteKind::Freestyle)
        return lit ? "KnobFaint2" : "KnobFaint1";
    return lit ? "Knob2" : "Knob1";
}

StandardLane::StandardLane(LaneScene scene, const songs::StandardSong& song)
    : m_scene(scene), m_song(song) {}

void StandardLane::startSession() {
    const std::size_t voices = m_song.voices.size();
    const std::size_t voice = m_voice >= 0 && static_cast<std::size_t>(m_voice) < voices
                                  ? static_cast<std::size_t>(m_voice)
                                  : 0;
    m_timeline = voiceTimeline(m_song, voice);
    m_line = -1;
    m_highlighted = -1;
    m_entered = 0;
    m_finished = m_timeline.notes.empty();
    m_lastEndMs = 0;
    std::vector<double> starts, ends;
    starts.reserve(m_timeline.notes.size());
    ends.reserve(m_timeline.notes.size());
    for (const TimedNote& n : m_timeline.notes) {
        m_lastEndMs = std::max(m_lastEndMs, n.endMs);
        starts.push_back(n.startMs);
        ends.push_back(n.endMs);
    }
    m_sounding = SoundingNoteIndex(std::move(starts), ends);
    m_lastMs = 0;
    m_hasBar = false;
    m_barRightEdge = 0;
    m_bars.clear();
    m_scene.singTab.deleteChildren();
    m_scene.singTab.setTag(0);
}

void StandardLane::buildFirstLines() {
    clearLyrics();
    if (!m_timeline.lines.empty())
        showLine(0);
}

std::int64_t StandardLane::startMs() const {
    return std::max<std::int64_t>(0, std::llround(m_song.startMs));
}

std::optional<std::int64_t> StandardLane::endMs() const {
    if (!m_song.endMs)
        return std::nullopt;
    const std::int64_t end = std::llround(*m_song.endMs);
    if (end <= startMs())
        return std::nullopt;
    return end;
}

double StandardLane::leadInTenths() const {
    return m_timeline.notes.empty() ? 0.0 : m_timeline.notes.front().startMs / 100.0;
}

float StandardLane::firstSyllableX() const {
    if (m_scene.singText.count() == 0 || m_scene.singText.child(0).count() == 0)
        return 0.0f;
    return m_scene.singText.child(0).child(0).position().x;
}

std::optional<double> StandardLane::entryDueMs(std::int32_t k) const {
    if (k < 0 || static_cast<std::size_t>(k) >= m_timeline.notes.size())
        return std::nullopt;
    return m_timeline.notes[static_cast<std::size_t>(k)].startMs;
}

void StandardLane::clearLyrics() {
    m_scene.tabulature.deleteChildren();
    m_scene.singText.deleteChildren();
    m_bars.clear();
}

void StandardLane::step(std::int64_t positionMs) {
    if (m_finished)
        return;
    const double t = static_cast<double>(positionMs);
    m_lastMs = t;
    const auto& notes = m_timeline.notes;
    while (m_entered < notes.size() && notes[m_entered].startMs <= t)
        ++m_entered;
    if (t >= m_lastEndMs) {
        // Everything is sung: the lyric area empties from the next clock tick on.
        highlight(-1);
        m_finished = true;
        return;
    }
    const std::size_t line = lineAt(t);
    if (static_cast<int>(line) != m_line)
        showLine(line);
    const TimedLine& shown = m_timeline.lines[line];
    highlight(static_cast<int>(m_sounding.lastSounding(shown.first, shown.last, t)));
}

// The lines take over in time order, so the one shown at t is the last whose time has come; the
// first is shown from the start.
std::size_t StandardLane::lineAt(double t) const {
    const auto& lines = m_timeline.lines;
    const auto next = std::upper_bound(lines.begin() + 1, lines.end(), t,
                                       [](double ms, const TimedLine& l) { return ms < l.showMs; });
    return static_cast<std::size_t>(next - lines.begin()) - 1;
}

void StandardLane::showLine(std::size_t line) {
    m_line = static_cast<int>(line);
    m_highlighted = -1;
    clearLyrics();
    const TimedLine& current = m_timeline.lines[line];
    addLineTexts(current, 0);
    if (line + 1 < m_timeline.lines.size())
        addLineTexts(m_timeline.lines[line + 1], 1);
    buildBars(current);
    // The trail belongs to the notes of one line.
    m_scene.singTab.deleteChildren();
    m_scene.singTab.setTag(0);
    m_barRightEdge = 0;
}

void StandardLane::addLineTexts(const TimedLine& line, int row) {
    auto& group = m_scene.singText.addNewChild<TGLDummyCube>();
    float x = 0;
    for (std::size_t k = line.first; k < line.last; ++k) {
        auto& text = group.addNewChild<TGLHUDText>();
        text.setModulateColor(row == 0 ? scene::toColorF(m_textColour, kCurrentAlpha)
                                       : scene::toColorF(scene::clWhite, kNextAlpha));
        text.setText(m_timeline.notes[k].note.text);
        text.setFont(&m_scene.singingText);
        text.setAlignment(scene::TAlignment::taLeftJustify);
        text.setLayout(scene::TTextLayout::tlCenter);
        text.setPosition({x, 600.0f + 30.0f * static_cast<float>(row), 0});
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

void StandardLane::buildBars(const TimedLine& line) {
    const auto& notes = m_timeline.notes;
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

double StandardLane::xOfTime(double ms) const {
    const double left = static_cast<double>(m_scene.viewerWidth / 2) - kLaneWidth / 2;
    return left + (ms - m_lineStartMs) / m_lineSpanMs * kLaneWidth;
}

double StandardLane::pitchY(double pitch) const {
    if (m_highPitch == m_lowPitch)
        return (kLowestY + kHighestY) / 2;
    return kLowestY - (pitch - m_lowPitch) / (m_highPitch - m_lowPitch) * (kLowestY - kHighestY);
}

void StandardLane::highlight(int note) {
    if (note == m_highlighted || m_line < 0)
        return;
    const TimedLine& line = m_timeline.lines[static_cast<std::size_t>(m_line)];
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
                 standardBarMaterial(m_timeline.notes[static_cast<std::size_t>(k)].note.kind,
                                     lit)});
    };
    set(m_highlighted, false);
    set(note, true);
    m_highlighted = note;
    if (note >= static_cast<int>(line.first) && note < static_cast<int>(line.last)) {
        const auto i = static_cast<std::size_t>(note) - line.first;
        if (i < m_bars.size() && static_cast<int>(i) >= m_scene.singTab.tag()) {
            m_trailPitch = m_timeline.notes[static_cast<std::size_t>(note)].note.pitch;
            startTrail(*m_bars[i]);
        }
    }
}

void StandardLane::startTrail(const TGLHUDSprite& bar) {
    m_barRightEdge = startTrailAt(m_scene, bar);
    m_hasBar = true;
}

double StandardLane::trailY() const {
    if (!m_reading.voiced || !std::isfinite(m_reading.midiNote))
        return kSilenceY;
    // On the song's scale, folded into the octave of the bar being sung, so a singer an octave
    // or two away still sees how far off the note they are.
    double semitone = m_reading.midiNote - kMiddleCMidi;
    semitone += 12.0 * std::round((m_trailPitch - semitone) / 12.0);
    return std::clamp(pitchY(semitone), kHighestY - 7.5, kLowestY + 7.5);
}

bool StandardLane::UpdateVoiceTrail(std::uint8_t) {
    if (!m_hasBar)
        return false;
    if (m_scene.singTab.count() == 0 || m_lineSpanMs <= 0)
        return true;
    // The trail follows the song's time along the lane and stops at the end of the last bar sung.
    const double x = std::min(xOfTime(m_lastMs), m_barRightEdge);
    auto& segment = m_scene.singTab.addNewChild<TGLHUDSprite>();
    segment.setPosition({static_cast<float>(x), static_cast<float>(trailY()), 0});
    segment.setHeight(kBarHeight);
    segment.setWidth(static_cast<float>(std::max(2.0, kTickMs / m_lineSpanMs * kLaneWidth)));
    segment.setMaterial({&m_scene.materials, "Knob3"});
    return true;
}

} // namespace cantorix::session
