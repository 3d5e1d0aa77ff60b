#pragma once
// The song text the editor hands to the lyric viewer for one tabulated track: the header, one
// note line per row of the note table (closing row included) with the placeholder syllable "-",
// and the end line. Times are written in beats of exactly one 120 ms unit ("#BPM:125"), the
// lead-in so that the first note falls where the MIDI file has it, and pitches on the scale the
// game scores against. Pure.

#include "editor/editor_tables.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cantorix::editor {

// At 125 beats per minute a beat lasts 15000 / 125 = 120 ms: one editor time unit.
inline constexpr const char* kDraftBpm = "125";

struct SongDraftFields {
    std::string title;
    std::string artist;
    std::string mp3Name;                  // bare name; empty when none was picked
    std::optional<std::string> videoName; // no "#VIDEO:" line when none was picked
};

// The "#GAP:" value for a first note at `firstNoteUnit`: its time in tenths of a second rounded
// half to even; when that exceeds 1000 (which the reader takes as milliseconds) the time in
// milliseconds instead.
std::int32_t draftGapValue(std::int32_t firstNoteUnit);

// The sung value written for a note-table pitch (note − 60).
std::int32_t draftPitch(std::int32_t tablePitch);

// The whole text, lines ended by CR LF. Throws std::invalid_argument for a table without notes
// or a pitch that is not a number, and what songs::composeEditorSongText throws.
std::string composeSongDraft(const SongDraftFields& fields, const TrackTables& tables);

} // namespace cantorix::editor
