#pragma once
// `StandardSong`: a song file in the standard karaoke text format that people's song collections
// use, read into voices of notes and line breaks with every time resolved to absolute beats and
// milliseconds. Built by readStandardSong() from the file's bytes; a value, no threads.

#include "songs/song_errors.h"
#include "songs/song_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::songs {

enum class NoteKind : char {
    Normal = ':',
    Golden = '*',
    Freestyle = 'F',
    Rap = 'R',
    GoldenRap = 'G',
};

struct StandardNote {
    NoteKind kind = NoteKind::Normal;
    std::int32_t startBeat = 0; // absolute, relative mode already resolved
    std::int32_t length = 0;    // beats, never negative
    std::int32_t pitch = 0;     // semitones from C4 (0 = MIDI note 60), −128 … 127
    std::string text;           // UTF-8, may be empty, inner and trailing blanks kept

    bool operator==(const StandardNote&) const = default;
};

// One singer's part: its notes in file order and the beats of its line breaks. A lyric line is
// the run of notes between two breaks.
struct StandardVoice {
    std::string name; // "" for a song without voice markers
    std::vector<StandardNote> notes;
    std::vector<std::int32_t> breaks; // absolute beats

    bool operator==(const StandardVoice&) const = default;
};

struct StandardSong {
    // Header values as written (trimmed, UTF-8); "" when missing.
    std::string version;
    std::string encoding; // the encoding used to decode: "utf-8", "utf-16-le", "cp1252", …
    std::string title;
    std::string artist;
    std::string audio; // "#AUDIO", else "#MP3"
    std::string video;
    std::string cover;
    std::string background;
    std::string bpmText;

    double bpm = 0;    // 1 … 10000
    double beatMs = 0; // 15000 / bpm before version 2.0.0, 60000 / bpm from it on
    double gapMs = 0;  // these five within ±86 400 000
    double videoGapMs = 0;
    double startMs = 0;
    std::optional<double> endMs;
    std::optional<double> previewStartMs;
    bool relative = false;
    // The medley part as the file names it, read but not yet checked (findMedleyPart() checks
    // and snaps it): "#MEDLEYSTARTBEAT"/"#MEDLEYENDBEAT" in beats, "#MEDLEYSTART"/"#MEDLEYEND"
    // in milliseconds. A value that does not read as a number is left out.
    std::optional<double> medleyStartBeat;
    std::optional<double> medleyEndBeat;
    std::optional<double> medleyStartMs;
    std::optional<double> medleyEndMs;
    bool calcMedley = true; // "#CALCMEDLEY:OFF": no medley part is to be worked out
    int skipped = 0;        // lines skipped as unreadable or out of place (empty lines never count)

    std::vector<StandardVoice> voices; // in voice-number order, at least one with a note

    // Song time in ms of a beat: gap + beat × beat length.
    double beatToMs(double beat) const { return gapMs + beat * beatMs; }
};

// A voice as it is sung: its notes by start beat (file order among equal starts) and its lyric
// lines. A line break splits the voice before the first note that starts at or after the break's
// beat; breaks before the first note or after the last one split nothing.
struct SungLine {
    std::size_t first = 0; // notes [first, last) of SungVoice::notes
    std::size_t last = 0;
    std::optional<std::int32_t> breakBeat; // the break that began the line; none for the first
};
struct SungVoice {
    std::vector<StandardNote> notes;
    std::vector<SungLine> lines;
};
// Empty for a voice the song does not have.
SungVoice sungVoice(const StandardSong& song, std::size_t voice);

// Reads a whole standard-format song file from its raw bytes (any encoding the format allows).
// Throws EStandardSongError with a clear message for a missing BPM or one outside 1 … 10000 (as
// written, whatever the version), a GAP, START, END, VIDEOGAP or PREVIEWSTART beyond 24 hours
// either way (in ms, after the version's units), or a file without a note. Every other fault
// skips its line and counts it in `skipped`, among them a note whose pitch lies outside
// −128 … 127 or whose length is negative.
StandardSong readStandardSong(std::string_view bytes);
// As above, from text already decoded and cut into lines.
StandardSong readStandardSong(const SongTextLines& text);

} // namespace cantorix::songs
