#pragma once
// Runs a semitone tracker over a recording the way the game's analysis tick does (every 50 ms,
// the newest samples up to that moment) and scores its readings against the melody that was
// sung. Shared by the tracker's test and its benchmark. Any thread.

#include "fakes/generated_voice.h"
#include "pitch/semitone_tracker_port.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace cantorix::testing {

inline constexpr int kTickMs = 50;

// Every semitone from C2 to C6 once upwards and once in a scrambled order (leaps of up to three
// octaves), each note 330 ms with 73 ms of silence after it, starting off the tick grid.
inline std::vector<VoiceNote> everySemitoneTwice() {
    std::vector<VoiceNote> notes;
    int ms = 37;
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k <= 48; ++k) {
            notes.push_back({ms, 330, 36 + (pass == 0 ? k : (k * 29) % 49)});
            ms += 403;
        }
    return notes;
}

struct TickReading {
    int ms = 0; // the moment of the tick: the newest sample is the one just before it
    pitch::SemitoneReading reading;
};

// One reading per tick from firstTickMs on while the recording lasts.
inline std::vector<TickReading> readEveryTick(pitch::SemitoneTracker& tracker,
                                              std::span<const std::int16_t> samples,
                                              int firstTickMs = kTickMs, int sampleRate = 44100) {
    std::vector<TickReading> out;
    for (int ms = firstTickMs;; ms += kTickMs) {
        const auto end = static_cast<std::size_t>(std::int64_t{ms} * sampleRate / 1000);
        if (end > samples.size())
            break;
        const std::size_t begin = end > tracker.windowSamples() ? end - tracker.windowSamples() : 0;
        out.push_back({ms, tracker.analyse(samples.subspan(begin, end - begin))});
    }
    return out;
}

struct MelodyScore {
    int judged = 0;      // ticks inside a note, past its first settleMs
    int right = 0;       // voiced, and rounded to the note sung
    int octaveWrong = 0; // voiced, and whole octaves away from it
    int unvoiced = 0;
    double rightShare() const { return judged ? static_cast<double>(right) / judged : 0; }
    double octaveShare() const { return judged ? static_cast<double>(octaveWrong) / judged : 0; }
};

inline MelodyScore scoreMelody(std::span<const TickReading> ticks, std::span<const VoiceNote> notes,
                               int settleMs = 60) {
    MelodyScore score;
    for (const TickReading& t : ticks)
        for (const VoiceNote& n : notes) {
            if (t.ms < n.startMs + settleMs || t.ms > n.startMs + n.lengthMs)
                continue;
            ++score.judged;
            if (!t.reading.voiced) {
                ++score.unvoiced;
                continue;
            }
            const auto off = static_cast<int>(std::lround(t.reading.midiNote)) - n.midiNote;
            score.right += off == 0;
            score.octaveWrong += off != 0 && off % 12 == 0;
        }
    return score;
}

inline double unvoicedShare(std::span<const TickReading> ticks) {
    int quiet = 0;
    for (const TickReading& t : ticks)
        quiet += !t.reading.voiced;
    return ticks.empty() ? 0 : static_cast<double>(quiet) / static_cast<double>(ticks.size());
}

} // namespace cantorix::testing
