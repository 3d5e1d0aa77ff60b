#include "standard_judge.h"

#include "round_half_even.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace cantorix::session {

using songs::NoteKind;

namespace {

constexpr int kMiddleCMidi = 60; // pitch 0 of a standard song
constexpr int kOctave = 12;
// Far beyond any voice: readings outside it are not notes at all, and cannot be rounded.
constexpr double kMidiLimit = 1000.0;

bool isRap(NoteKind kind) {
    return kind == NoteKind::Rap || kind == NoteKind::GoldenRap;
}

} // namespace

int toleranceOf(Difficulty difficulty) {
    switch (difficulty) {
    case Difficulty::Easy:
        return 2;
    case Difficulty::Hard:
        return 0;
    case Difficulty::Medium:
        break;
    }
    return 1;
}

std::optional<Difficulty> parseDifficulty(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "easy")
        return Difficulty::Easy;
    if (lower == "medium")
        return Difficulty::Medium;
    if (lower == "hard")
        return Difficulty::Hard;
    return std::nullopt;
}

const char* difficultyName(Difficulty difficulty) {
    switch (difficulty) {
    case Difficulty::Easy:
        return "Easy";
    case Difficulty::Hard:
        return "Hard";
    case Difficulty::Medium:
        break;
    }
    return "Medium";
}

int foldedSemitoneDistance(double detectedMidiNote, int pitch) {
    const std::int64_t d = roundHalfEven(detectedMidiNote) - (kMiddleCMidi + std::int64_t{pitch});
    // Into 0 … 11 first, whatever the sign, then shifted so the tritone lands on −6.
    const std::int64_t shifted = ((d + 6) % kOctave + kOctave) % kOctave;
    return static_cast<int>(shifted - 6);
}

int tickPointsOf(NoteKind kind) {
    switch (kind) {
    case NoteKind::Golden:
    case NoteKind::GoldenRap:
        return 2;
    case NoteKind::Normal:
    case NoteKind::Rap:
        return 1;
    case NoteKind::Freestyle:
        break;
    }
    return 0;
}

TickJudgement judgeNote(const songs::StandardNote& note, const pitch::SemitoneReading& reading,
                        Difficulty difficulty) {
    const int worth = tickPointsOf(note.kind);
    if (worth == 0)
        return {};
    bool hit = reading.voiced;
    if (hit && !isRap(note.kind)) {
        hit = std::isfinite(reading.midiNote) && std::fabs(reading.midiNote) < kMidiLimit &&
              std::abs(foldedSemitoneDistance(reading.midiNote, note.pitch)) <=
                  toleranceOf(difficulty);
    }
    const bool golden = note.kind == NoteKind::Golden || note.kind == NoteKind::GoldenRap;
    return {true, hit ? worth : 0, worth, -1, golden};
}

StandardJudge::StandardJudge(VoiceTimeline timeline, Difficulty difficulty, int delayMs)
    : m_timeline(std::move(timeline)), m_difficulty(difficulty), m_delayMs(delayMs),
      m_lineOfNote(m_timeline.notes.size(), -1) {
    for (std::size_t line = 0; line < m_timeline.lines.size(); ++line)
        for (std::size_t k = m_timeline.lines[line].first;
             k < m_timeline.lines[line].last && k < m_lineOfNote.size(); ++k)
            m_lineOfNote[k] = static_cast<int>(line);
    for (const TimedNote& n : m_timeline.notes)
        m_longestMs = std::max(m_longestMs, n.endMs - n.startMs);
}

int StandardJudge::dueNote(double songMs) const {
    const double t = songMs - m_delayMs;
    const auto& notes = m_timeline.notes;
    // Notes are in start order; only those starting within the longest note's length before t
    // can still be sounding. Of overlapping notes the one that started last is due.
    auto k = std::upper_bound(notes.begin(), notes.end(), t,
                              [](double time, const TimedNote& n) { return time < n.startMs; });
    while (k != notes.begin()) {
        --k;
        if (k->startMs < t - m_longestMs)
            break;
        if (k->startMs <= t && t < k->endMs)
            return static_cast<int>(k - notes.begin());
    }
    return -1;
}

TickJudgement StandardJudge::judge(const SungTick& tick) const {
    const int due = dueNote(tick.songMs);
    if (due < 0)
        return {};
    TickJudgement verdict = judgeNote(m_timeline.notes[static_cast<std::size_t>(due)].note,
                                      tick.semitone, m_difficulty);
    if (verdict.judged) {
        verdict.line = m_lineOfNote[static_cast<std::size_t>(due)];
        verdict.note = due;
        verdict.songMs = tick.songMs - m_delayMs;
    }
    return verdict;
}

std::vector<double> StandardJudge::lineStartsMs() const {
    std::vector<double> starts;
    for (const TimedLine& line : m_timeline.lines)
        starts.push_back(line.first < m_timeline.notes.size() ? m_timeline.notes[line.first].startMs
                                                              : 0.0);
    return starts;
}

} // namespace cantorix::session
