#include "standard_timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cantorix::session {

VoiceTimeline voiceTimeline(const songs::StandardSong& song, std::size_t voice) {
    VoiceTimeline t;
    const songs::SungVoice sung = songs::sungVoice(song, voice);
    for (const songs::StandardNote& n : sung.notes)
        t.notes.push_back({n, song.beatToMs(n.startBeat),
                           song.beatToMs(static_cast<double>(n.startBeat) + n.length)});
    double lineEnd = -std::numeric_limits<double>::infinity();
    for (const songs::SungLine& line : sung.lines) {
        double show = -std::numeric_limits<double>::infinity();
        if (line.breakBeat)
            show = std::min(std::max(song.beatToMs(*line.breakBeat), lineEnd),
                            t.notes[line.first].startMs);
        t.lines.push_back({line.first, line.last, show});
        for (std::size_t k = line.first; k < line.last; ++k)
            lineEnd = std::max(lineEnd, t.notes[k].endMs);
    }
    return t;
}

void StandardTimeline::startSession() {
    const std::size_t voices = m_song.voices.size();
    const std::size_t voice = m_voice >= 0 && static_cast<std::size_t>(m_voice) < voices
                                  ? static_cast<std::size_t>(m_voice)
                                  : 0;
    m_timeline = voiceTimeline(m_song, voice);
    m_line = -1;
    m_highlighted = -1;
    m_entered = 0;
    m_finished = m_timeline.notes.empty();
    m_judging = false;
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
}

void StandardTimeline::startFirstLines() {
    if (m_timeline.lines.empty())
        return;
    m_line = 0;
    m_highlighted = -1;
}

std::int64_t StandardTimeline::startMs() const {
    return std::max<std::int64_t>(0, std::llround(m_song.startMs));
}

std::optional<std::int64_t> StandardTimeline::endMs() const {
    if (!m_song.endMs)
        return std::nullopt;
    const std::int64_t end = std::llround(*m_song.endMs);
    if (end <= startMs())
        return std::nullopt;
    return end;
}

double StandardTimeline::leadInTenths() const {
    return m_timeline.notes.empty() ? 0.0 : m_timeline.notes.front().startMs / 100.0;
}

std::optional<double> StandardTimeline::entryDueMs(std::int32_t k) const {
    if (k < 0 || static_cast<std::size_t>(k) >= m_timeline.notes.size())
        return std::nullopt;
    return m_timeline.notes[static_cast<std::size_t>(k)].startMs;
}

void StandardTimeline::step(std::int64_t positionMs) {
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
    if (static_cast<int>(line) != m_line) {
        m_line = static_cast<int>(line);
        m_highlighted = -1;
    }
    const TimedLine& shown = m_timeline.lines[line];
    highlight(static_cast<int>(m_sounding.lastSounding(shown.first, shown.last, t)));
}

// The lines take over in time order, so the one shown at t is the last whose time has come; the
// first is shown from the start.
std::size_t StandardTimeline::lineAt(double t) const {
    const auto& lines = m_timeline.lines;
    const auto next = std::upper_bound(lines.begin() + 1, lines.end(), t,
                                       [](double ms, const TimedLine& l) { return ms < l.showMs; });
    return static_cast<std::size_t>(next - lines.begin()) - 1;
}

void StandardTimeline::highlight(int note) {
    if (note == m_highlighted || m_line < 0)
        return;
    m_highlighted = note;
    const TimedLine& line = m_timeline.lines[static_cast<std::size_t>(m_line)];
    // A note of the line being sung starts the voice trail, and with it the judging.
    if (note >= static_cast<int>(line.first) && note < static_cast<int>(line.last))
        m_judging = true;
}

} // namespace cantorix::session
