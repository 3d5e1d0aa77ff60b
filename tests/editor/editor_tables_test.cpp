// The editor's event and note tables of one track, from MIDI files built in the test.

#include "editor/editor_tables.h"
#include "midi/midi_bytes.h"

#include <gtest/gtest.h>

using namespace cantorix;
using namespace cantorix::editor;
using midi::test::Header;
using midi::test::midiFile;
using midi::test::TrackBody;

namespace {

// PPQN 120 at 120 ms per quarter note: one tick is one millisecond.
TrackBody tempoTrack() {
    return TrackBody().tempo(0, 120000).end();
}

struct Loaded {
    midi::TMidiData data;
    explicit Loaded(const std::vector<TrackBody>& tracks) {
        data.load(midiFile(tracks, Header().withDivision(120)), "test.mid");
    }
};

std::vector<std::tuple<int, std::string, int>> noteRows(const TrackTables& t) {
    std::vector<std::tuple<int, std::string, int>> rows;
    for (const NoteRow& r : t.notes)
        rows.emplace_back(r.start, r.pitch, r.length);
    return rows;
}

using Rows = std::vector<std::tuple<int, std::string, int>>;

// The melody of the worked example: C4 for 480 ms from 6.0 s, a 120 ms pause, E4 for 240 ms,
// and the end of the track 120 ms later.
TrackBody workedExample() {
    return TrackBody()
        .event(6000, {0x90, 60, 100})
        .event(480, {0x80, 60, 0})
        .event(120, {0x90, 64, 100})
        .event(240, {0x80, 64, 0})
        .end(120);
}

} // namespace

TEST(EditorTablesTest, WorkedExampleGivesUnitsFromTheFirstNote) {
    Loaded f({tempoTrack(), workedExample()});
    const TrackTables t = tabulateTrack(f.data, 1, 0);
    EXPECT_EQ(t.firstNoteUnit, 50);
    EXPECT_EQ(t.lastEventUnit, 58);
    EXPECT_EQ(t.noteCount, 2);
    EXPECT_EQ(noteRows(t), (Rows{{0, "0", 4}, {5, "4", 2}, {7, "4", 24}}));
    ASSERT_EQ(t.events.size(), 5u);
    EXPECT_EQ(t.events[0].kind, "On");
    EXPECT_EQ(t.events[1].kind, "Off");
    EXPECT_EQ(t.events[4].kind, "Meta event");
    EXPECT_EQ(t.events[4].value, "");
    EXPECT_EQ(t.events[3].unit, 57);
}

TEST(EditorTablesTest, VelocityZeroIsANoteOffAndLengthsRunToTheNextEvent) {
    Loaded f({tempoTrack(), TrackBody()
                                .event(0, {0x90, 55, 90})
                                .event(240, {0xB0, 7, 100}) // a controller cuts the note short
                                .event(240, {0x90, 55, 0})  // velocity 0
                                .event(0, {0x90, 62, 80})
                                .event(0, {64, 80})  // running status, same unit
                                .event(360, {62, 0}) // running status, velocity 0
                                .end(0)});
    const TrackTables t = tabulateTrack(f.data, 1, 0);
    EXPECT_EQ(t.events[1].kind, "Controller");
    EXPECT_EQ(t.events[1].value, "Volume");
    EXPECT_EQ(t.events[2].kind, "Note Off");
    EXPECT_EQ(t.events[2].value, "-5");
    EXPECT_EQ(t.events[5].kind, "Note Off");
    EXPECT_EQ(t.firstNoteUnit, 0);
    EXPECT_EQ(noteRows(t), (Rows{{0, "-5", 2}, {4, "2", 0}, {4, "4", 3}, {7, "2", 24}}));
}

TEST(EditorTablesTest, ClosingRowRepeatsTheLastPitchWhenTheTrackEndsRightAfterANote) {
    // The last note-on is followed by the end of the track: a meta event, which has no value.
    Loaded f({tempoTrack(), TrackBody().event(1200, {0x90, 67, 90}).end(600)});
    const TrackTables t = tabulateTrack(f.data, 1, 0);
    EXPECT_EQ(noteRows(t), (Rows{{0, "7", 5}, {5, "7", 24}}));
}

TEST(EditorTablesTest, ClosingRowTakesTheValueOfTheEventAfterTheLastNote) {
    Loaded f({tempoTrack(), TrackBody()
                                .event(0, {0x90, 60, 90})
                                .event(120, {0xC0, 5}) // program change: its data byte
                                .event(120, {0x90, 48, 90})
                                .event(120, {0xB0, 10, 3}) // "Pan" is no number
                                .end(0)});
    const TrackTables t = tabulateTrack(f.data, 1, 0);
    EXPECT_EQ(noteRows(t).back(), std::make_tuple(3, std::string("-12"), 24));

    Loaded g({tempoTrack(), TrackBody().event(0, {0x90, 60, 90}).event(120, {0xB0, 7, 3}).end(0)});
    EXPECT_EQ(noteRows(tabulateTrack(g.data, 1, 0)).back(),
              std::make_tuple(1, std::string("0"), 24));

    Loaded h({tempoTrack(), TrackBody()
                                .event(0, {0x90, 60, 90})
                                .event(0, {0x90, 61, 90})
                                .event(120, {0xC0, 5})
                                .end(0)});
    EXPECT_EQ(noteRows(tabulateTrack(h.data, 1, 0)).back(),
              std::make_tuple(1, std::string("5"), 24));
}

TEST(EditorTablesTest, TrackWithoutNotesKeepsThePreviousFirstUnit) {
    Loaded f({tempoTrack(), TrackBody().event(100, {0xB0, 64, 127}).end(0)});
    const TrackTables t = tabulateTrack(f.data, 1, 33);
    EXPECT_EQ(t.noteCount, 0);
    EXPECT_EQ(t.firstNoteUnit, 33);
    EXPECT_EQ(t.notes.size(), 1u); // only the closing row
    EXPECT_EQ(t.lastEventUnit, 0);

    const TrackTables missing = tabulateTrack(f.data, 5, 7);
    EXPECT_TRUE(missing.events.empty());
    EXPECT_TRUE(missing.notes.empty());
}

TEST(EditorTablesTest, KindAndValueTexts) {
    using midi::TEventData;
    EXPECT_EQ(eventKindText(TEventData{0xA3, 1, 2}), "Key Aftertouch");
    EXPECT_EQ(eventKindText(TEventData{0xC0, 1, 0}), "Program change");
    EXPECT_EQ(eventKindText(TEventData{0xD0, 1, 0}), "Channel Aftertouch");
    EXPECT_EQ(eventKindText(TEventData{0xE1, 0, 64}), "Pitch bend");
    EXPECT_EQ(eventKindText(TEventData{0xF0, 0, 0}), "Sysex");
    EXPECT_EQ(eventKindText(TEventData{0xF7, 0, 0}), "Sysex continuation");
    EXPECT_EQ(eventKindText(TEventData{0xF8, 0, 0}), "Unknown sysex type");
    EXPECT_EQ(eventKindText(TEventData{0x40, 0, 0}), "???");
    EXPECT_EQ(eventValueText(TEventData{0x85, 72, 0}), "12");
    EXPECT_EQ(eventValueText(TEventData{0xB0, 64, 127}), "Sustain");
    EXPECT_EQ(eventValueText(TEventData{0xB0, 3, 127}), "");
    EXPECT_EQ(eventValueText(TEventData{0xE0, 17, 64}), "17");
    EXPECT_EQ(controllerName(126), "Mono Mode On");
    EXPECT_EQ(controllerName(127), "");
    EXPECT_EQ(controllerName(200), "");
}
