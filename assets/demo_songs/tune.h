#pragma once
// A demo song as composed: melody with lyrics, chords, tempo and lead-in, parsed from a compact
// written form and checked for what the game needs. Build-time tool; immutable once built.

#include <cstdint>
#include <string>
#include <vector>

namespace cantorix::assets::demo {

// Accompaniment patterns the arranger knows (see arrangement.cpp).
enum class Groove { Ballad, Waltz, Pop };

// What the composer writes. Beats are the song file's beats: 15000 / BPM ms, a sixteenth note.
struct TuneSheet {
    std::string title;
    std::string bpmText;  // as the song file writes it, comma as decimal separator
    int beatsPerBar = 16; // 16 for 4/4, 12 for 3/4
    int introBars = 2;    // bars before the first sung note
    int outroBars = 2;    // bars after the last lyric line
    int gapMs = 0;        // lead-in to the first sung note; the intro ends exactly there
    // One chord per bar, bars separated by '|'; "Dm,C" splits a bar into halves.
    std::string chords;
    // One entry per lyric line, tokens "syllable|pitch|beats" separated by spaces. A syllable
    // ending in '-' continues its word; "_|_|beats" is a rest, allowed only at the line's end
    // (a note's record lasts until the next record, so a rest inside a line would be scored
    // as the note before it). Every line fills whole bars.
    std::vector<std::string> lines;
    Groove groove = Groove::Ballad;
    std::uint32_t seed = 1;
};

struct SungNote {
    std::string syllable; // as the song file writes it: word-final syllables end in a space
    int midiNote = 0;
    int startBeat = 0; // from the first sung note
    int lengthBeats = 0;
};

struct LyricLine {
    std::vector<SungNote> notes;
    int endBeat = 0; // where the line's bars end (its trailing rest included)
};

struct Chord {
    int root = 0; // pitch class, 0 = C
    bool minor = false;
    double startBeat = 0; // from the start of the music
    double lengthBeats = 0;
};

struct Tune {
    TuneSheet sheet;
    double bpm = 0;
    double beatMs = 0;
    double musicStartMs = 0; // where the first intro bar begins in the audio
    std::vector<LyricLine> lines;
    std::vector<Chord> chords;
    int totalBars = 0;

    // Audio time of a beat counted from the first sung note, and of a beat of the music.
    double sungBeatMs(double beat) const { return sheet.gapMs + beat * beatMs; }
    double musicBeatMs(double beat) const { return musicStartMs + beat * beatMs; }
    int introBeats() const { return sheet.introBars * sheet.beatsPerBar; }
    double musicEndMs() const { return musicBeatMs(double(totalBars) * sheet.beatsPerBar); }
};

// Parses and checks a sheet; throws std::runtime_error naming the song and the fault.
Tune buildTune(const TuneSheet& sheet);

// "C4", "Bb3", "F#4" to a MIDI note number (C4 = 60).
int midiNoteFromName(const std::string& name);

double midiNoteHz(int midiNote);

} // namespace cantorix::assets::demo
