#pragma once
// The editor's two hidden tables for one track: the event table (`StringGrid1`: time unit, value
// and kind text of every event) and the note table (`StringGrid2`: start, pitch and length of
// every sounding note-on plus a closing row). Pure functions over loaded MIDI data.

#include "midi/midi_data.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::editor {

// The editor measures time in units of 120 ms of MIDI playing time.
inline constexpr std::int32_t kUnitMs = 120;
// The closing row lasts this many units.
inline constexpr std::int32_t kClosingRowLength = 24;

// The name of controller 0 … 127 ("Volume", "Sustain", …), empty for unnamed ones.
std::string_view controllerName(int controller);
// The kind column: "Off", "On", "Note Off", "Controller", "Meta event", "???" …
std::string_view eventKindText(const midi::TEventData& event);
// The value column: empty for a meta event, note − 60 in signed decimal for notes, the
// controller's name for controllers, else the first data byte.
std::string eventValueText(const midi::TEventData& event);

struct EventRow {
    std::int32_t unit = 0;
    std::string value;
    std::string kind;
};

// Start and length in units; pitch as the note table holds it: note − 60 as text.
struct NoteRow {
    std::int32_t start = 0;
    std::string pitch;
    std::int32_t length = 0;
};

struct TrackTables {
    std::vector<EventRow> events; // StringGrid1
    std::vector<NoteRow> notes;   // StringGrid2: the sounding notes, then the closing row
    std::int32_t noteCount = 0;   // rows of notes.size() that are notes (all but the last)
    std::int32_t firstNoteUnit = 0;
    std::int32_t lastEventUnit = 0;
};

// Tabulates track `trackIndex` of `data`, timing its events with one position bound to the data
// and moved forwards event by event. A track without sounding notes keeps `previousFirstNoteUnit`.
// A missing track gives empty tables. The closing row takes the pitch of the row after the last
// note, unless that row carries no number (a meta event, an unnamed or short controller name),
// in which case it repeats the last note's pitch so the song text stays readable.
TrackTables tabulateTrack(const midi::TMidiData& data, int trackIndex,
                          std::int32_t previousFirstNoteUnit);

} // namespace cantorix::editor
