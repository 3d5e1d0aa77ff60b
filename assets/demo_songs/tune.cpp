#include "tune.h"

#include <charconv>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace cantorix::assets::demo {

namespace {

// Shorter notes pass before the analysis, which looks at 93 ms of voice, can judge them.
constexpr int kShortestNoteBeats = 2;
constexpr double kShortestNoteMs = 250.0;
// The line-break record needs a window of its own between two lines.
constexpr int kShortestRestBeats = 2;

[[noreturn]] void fail(const TuneSheet& sheet, const std::string& what) {
    throw std::runtime_error(sheet.title + ": " + what);
}

int parseBeats(const TuneSheet& sheet, const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        fail(sheet, "bad beat count '" + text + "'");
    return std::stoi(text);
}

// Semitones above the natural C of the note's octave (-1 for Cb, 12 for B#).
int semitoneInOctave(const std::string& name, std::size_t& pos) {
    static const int kNatural[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (name.empty() || name[0] < 'A' || name[0] > 'G')
        throw std::runtime_error("bad note name '" + name + "'");
    int pc = kNatural[name[0] - 'A'];
    pos = 1;
    if (pos < name.size() && (name[pos] == 'b' || name[pos] == '#')) {
        pc += name[pos] == '#' ? 1 : -1;
        ++pos;
    }
    return pc;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<Chord> parseChords(const TuneSheet& sheet) {
    std::vector<Chord> chords;
    const std::vector<std::string> bars = split(sheet.chords, '|');
    for (std::size_t bar = 0; bar < bars.size(); ++bar) {
        const std::vector<std::string> names = split(trimmed(bars[bar]), ',');
        const double length = double(sheet.beatsPerBar) / double(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string name = trimmed(names[i]);
            std::size_t pos = 0;
            Chord chord;
            chord.root = (semitoneInOctave(name, pos) + 12) % 12;
            chord.minor = name.substr(pos) == "m";
            if (!chord.minor && pos != name.size())
                fail(sheet, "unknown chord '" + name + "'");
            chord.startBeat = double(bar) * sheet.beatsPerBar + double(i) * length;
            chord.lengthBeats = length;
            chords.push_back(chord);
        }
    }
    return chords;
}

SungNote parseNote(const TuneSheet& sheet, const std::vector<std::string>& fields, int start,
                   double beatMs) {
    SungNote note;
    note.syllable = fields[0];
    note.midiNote = midiNoteFromName(fields[1]);
    note.startBeat = start;
    note.lengthBeats = parseBeats(sheet, fields[2]);
    if (note.lengthBeats < kShortestNoteBeats || note.lengthBeats * beatMs < kShortestNoteMs)
        fail(sheet, "'" + note.syllable + "' is too short to be scored");
    return note;
}

// Word-final syllables end in a space so the lyric line reads as words; the line's last
// syllable needs none.
void joinSyllables(std::vector<SungNote>& notes) {
    for (std::size_t i = 0; i < notes.size(); ++i) {
        std::string& text = notes[i].syllable;
        if (text.size() > 1 && text.back() == '-')
            text.pop_back();
        else if (i + 1 < notes.size())
            text += ' ';
    }
}

LyricLine parseLine(const TuneSheet& sheet, const std::string& text, int startBeat, bool last,
                    double beatMs) {
    LyricLine line;
    int beat = startBeat;
    int trailingRest = 0;
    std::istringstream tokens(text);
    for (std::string token; tokens >> token;) {
        const std::vector<std::string> fields = split(token, '|');
        if (fields.size() != 3 || fields[0].empty())
            fail(sheet, "bad melody token '" + token + "'");
        if (fields[0] == "_") {
            trailingRest = parseBeats(sheet, fields[2]);
        } else {
            if (trailingRest != 0)
                fail(sheet, "a rest inside a lyric line");
            line.notes.push_back(parseNote(sheet, fields, beat, beatMs));
        }
        beat += parseBeats(sheet, fields[2]);
    }
    if (line.notes.empty())
        fail(sheet, "a lyric line without notes");
    joinSyllables(line.notes);
    if (!last && trailingRest < kShortestRestBeats)
        fail(sheet, "no rest after '" + line.notes.back().syllable + "'");
    if ((beat - startBeat) % sheet.beatsPerBar != 0)
        fail(sheet, "a lyric line that does not fill whole bars");
    line.endBeat = beat;
    return line;
}

} // namespace

int midiNoteFromName(const std::string& name) {
    std::size_t pos = 0;
    const int semitone = semitoneInOctave(name, pos);
    if (pos + 1 != name.size() || name[pos] < '0' || name[pos] > '9')
        throw std::runtime_error("bad note name '" + name + "'");
    return 12 * (name[pos] - '0' + 1) + semitone;
}

double midiNoteHz(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

Tune buildTune(const TuneSheet& sheet) {
    Tune tune;
    tune.sheet = sheet;
    std::string bpm = sheet.bpmText;
    if (const auto comma = bpm.find(','); comma != std::string::npos)
        bpm[comma] = '.';
    const auto [end, error] = std::from_chars(bpm.data(), bpm.data() + bpm.size(), tune.bpm);
    if (error != std::errc() || end != bpm.data() + bpm.size() || !(tune.bpm > 0.0))
        fail(sheet, "bad BPM '" + sheet.bpmText + "'");
    tune.beatMs = 15000.0 / tune.bpm;
    tune.musicStartMs = sheet.gapMs - tune.introBeats() * tune.beatMs;
    if (sheet.gapMs <= 1000 || tune.musicStartMs < 0)
        fail(sheet, "the lead-in must be over a second and hold the intro");

    int beat = 0;
    for (std::size_t i = 0; i < sheet.lines.size(); ++i) {
        const bool last = i + 1 == sheet.lines.size();
        tune.lines.push_back(parseLine(sheet, sheet.lines[i], beat, last, tune.beatMs));
        beat = tune.lines.back().endBeat;
    }
    tune.chords = parseChords(sheet);
    const int sungBars = beat / sheet.beatsPerBar;
    tune.totalBars = sheet.introBars + sungBars + sheet.outroBars;
    const Chord& lastChord = tune.chords.back();
    if (lastChord.startBeat + lastChord.lengthBeats != double(tune.totalBars) * sheet.beatsPerBar)
        fail(sheet, "the chords do not cover intro, lines and outro exactly");
    return tune;
}

} // namespace cantorix::assets::demo
