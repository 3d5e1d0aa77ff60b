#pragma once
// `StandardSong`: a song file in the standard karaoke text format that people's song collections
// use, read into voices of notes and line breaks with every time resolved to absolute beats and
// milliseconds. Built by readStandardSong() from the file's bytes; a value, no threads.

#include "songs/song_errors.h"

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
    std::int32_t length = 0;    // beats
    std::int32_t pitch = 0;     // semitones from C4 (0 = MIDI note 60)
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

    double bpm = 0;    // > 0
    double beatMs = 0; // 15000 / bpm before version 2.0.0, 60000 / bpm from it on
    double gapMs = 0;
    double videoGapMs = 0;
    double startMs = 0;
    std::optional<double> endMs;
    std::optional<double> previewStartMs;
    bool relative = false;
    int skipped = 0; // lines skipped as unreadable or out of place (empty lines never count)

    std::vector<StandardVoice> voices; // in voice-number order, at least one with a note

    // Song time in ms of a beat: gap + beat × beat length.
    double beatToMs(double beat) const { return gapMs + beat * beatMs; }
};

// Reads a whole standard-format song file from its raw bytes (any encoding the format allows).
// Throws EStandardSongError with a clear message for a missing or non-positive BPM or a file
// without a note; every other fault skips its line and counts it in `skipped`.
StandardSong readStandardSong(std::string_view bytes);

} // namespace cantorix::songs
