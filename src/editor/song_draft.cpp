#include "editor/song_draft.h"

#include "editor/sung_pitch.h"
#include "songs/song_text_writer.h"

#include <charconv>
#include <stdexcept>

namespace cantorix::editor {

namespace {

// The reader takes a gap above this as milliseconds, up to it as tenths of a second.
constexpr std::int32_t kLargestTenthsGap = 1000;

// numerator / denominator, halves to the even neighbour; both non-negative.
std::int64_t divideRoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t q = numerator / denominator;
    const std::int64_t twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && q % 2 != 0))
        ++q;
    return q;
}

std::int32_t parsePitch(const std::string& text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw std::invalid_argument("The note table holds a pitch that is not a number: '" + text +
                                    "'");
    return value;
}

} // namespace

std::int32_t draftGapValue(std::int32_t firstNoteUnit) {
    const std::int64_t ms = std::int64_t{firstNoteUnit} * kUnitMs;
    const std::int64_t tenths = divideRoundHalfEven(ms, 100);
    return static_cast<std::int32_t>(tenths > kLargestTenthsGap ? ms : tenths);
}

std::int32_t draftPitch(std::int32_t tablePitch) {
    return sungValueOfNote(tablePitch + 60);
}

std::string composeSongDraft(const SongDraftFields& fields, const TrackTables& tables) {
    if (tables.noteCount <= 0)
        throw std::invalid_argument("The track has no notes");
    songs::EditorSongText song;
    song.title = fields.title;
    song.artist = fields.artist;
    song.mp3File = fields.mp3Name;
    song.videoFile = fields.videoName;
    song.bpmText = kDraftBpm;
    song.gapValue = draftGapValue(tables.firstNoteUnit);
    song.notes.reserve(tables.notes.size());
    for (const NoteRow& row : tables.notes)
        song.notes.push_back({row.start, row.length, draftPitch(parsePitch(row.pitch)), "-"});
    return songs::composeEditorSongText(song);
}

} // namespace cantorix::editor
