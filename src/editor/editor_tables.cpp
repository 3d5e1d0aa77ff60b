#include "editor/editor_tables.h"

#include "midi/midi_position.h"

#include <array>
#include <charconv>

namespace cantorix::editor {

namespace {

constexpr std::array<std::string_view, 128> kControllerNames = [] {
    std::array<std::string_view, 128> names{};
    names[1] = "Mod. Wheel";
    names[2] = "Breath Controller";
    names[4] = "Foot Control";
    names[5] = "Portamento Time";
    names[6] = "Data Entry Slider";
    names[7] = "Volume";
    names[8] = "Balance";
    names[10] = "Pan";
    names[11] = "Expression";
    names[64] = "Sustain";
    names[65] = "Portamento";
    names[66] = "Sostenuto";
    names[67] = "Soft Pedal";
    names[68] = "General 4";
    names[69] = "Hold 2";
    names[80] = "General 5";
    names[81] = "General 6";
    names[82] = "General 7";
    names[83] = "General 8";
    names[92] = "Tremolo Depth";
    names[93] = "Chorus Depth";
    names[94] = "Detune";
    names[95] = "Phaser Depth";
    names[96] = "Data Entry +1";
    names[97] = "Data Entry -1";
    names[98] = "Non reg lsb";
    names[99] = "Non reg msb";
    names[100] = "Reg msb";
    names[101] = "Reg lsb";
    names[121] = "Reset Controllers";
    names[122] = "Local Mode";
    names[123] = "All Notes Off";
    names[124] = "Omni Mode Off";
    names[125] = "Omni Mode On";
    names[126] = "Mono Mode On";
    return names;
}();

constexpr std::string_view kMetaKind = "Meta event";
constexpr std::string_view kNoteOnKind = "On";
// Longer pitch texts are not note numbers; the note table writes 0 for them.
constexpr std::size_t kLongestPitchText = 3;

bool isInteger(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::string notePitchText(const EventRow& row) {
    return row.value.size() > kLongestPitchText ? std::string(1, '0') : row.value;
}

std::vector<EventRow> eventRows(const midi::TMidiData& data, const midi::TMidiTrackStream& track) {
    midi::TMidiPosition position(&data);
    std::vector<EventRow> rows;
    rows.reserve(track.events().size());
    for (const midi::TMidiEvent& e : track.events()) {
        position.SetTicks(e.position);
        rows.push_back({position.Time() / kUnitMs, eventValueText(e.event),
                        std::string(eventKindText(e.event))});
    }
    return rows;
}

std::string closingPitch(const TrackTables& t, const std::string& text) {
    if (text.size() > kLongestPitchText)
        return std::string(1, '0');
    if (isInteger(text))
        return text;
    return t.notes.empty() ? std::string(1, '0') : t.notes.back().pitch;
}

NoteRow closingRow(const TrackTables& t, std::size_t lastNoteRow) {
    const std::size_t c = lastNoteRow + 1;
    const bool exists = c < t.events.size();
    return NoteRow{(exists ? t.events[c].unit : t.lastEventUnit) - t.firstNoteUnit,
                   closingPitch(t, exists ? t.events[c].value : std::string()), kClosingRowLength};
}

} // namespace

std::string_view controllerName(int controller) {
    return controller >= 0 && controller < 128
               ? kControllerNames[static_cast<std::size_t>(controller)]
               : std::string_view();
}

std::string_view eventKindText(const midi::TEventData& event) {
    if (event.status < 0x80)
        return "???";
    switch (event.kind()) {
    case 0x80:
        return "Off";
    case 0x90:
        return event.data2 != 0 ? kNoteOnKind : "Note Off";
    case 0xA0:
        return "Key Aftertouch";
    case 0xB0:
        return "Controller";
    case 0xC0:
        return "Program change";
    case 0xD0:
        return "Channel Aftertouch";
    case 0xE0:
        return "Pitch bend";
    default:
        break;
    }
    switch (event.status) {
    case 0xF0:
        return "Sysex";
    case 0xF7:
        return "Sysex continuation";
    case 0xFF:
        return kMetaKind;
    default:
        return "Unknown sysex type";
    }
}

std::string eventValueText(const midi::TEventData& event) {
    if (event.status == 0xFF)
        return {};
    if (event.kind() == 0x80 || event.kind() == 0x90)
        return std::to_string(static_cast<int>(event.data1) - 60);
    if (event.kind() == 0xB0)
        return std::string(controllerName(event.data1));
    return std::to_string(event.data1);
}

TrackTables tabulateTrack(const midi::TMidiData& data, int trackIndex,
                          std::int32_t previousFirstNoteUnit) {
    TrackTables t;
    t.firstNoteUnit = previousFirstNoteUnit;
    const midi::TMidiTrackStream* track = data.Tracks(trackIndex);
    if (!track)
        return t;
    t.events = eventRows(data, *track);
    if (!t.events.empty())
        t.lastEventUnit = t.events.back().unit;

    std::size_t lastNoteRow = 0;
    for (std::size_t r = 0; r < t.events.size(); ++r) {
        const EventRow& row = t.events[r];
        if (row.kind != kNoteOnKind)
            continue;
        if (t.notes.empty())
            t.firstNoteUnit = row.unit;
        // A note lasts until the next event of its track, whatever that event is.
        const std::int32_t length = r + 1 < t.events.size() ? t.events[r + 1].unit - row.unit : 0;
        t.notes.push_back({row.unit - t.firstNoteUnit, notePitchText(row), length});
        lastNoteRow = r;
    }
    t.noteCount = static_cast<std::int32_t>(t.notes.size());
    t.notes.push_back(closingRow(t, lastNoteRow));
    return t;
}

} // namespace cantorix::editor
