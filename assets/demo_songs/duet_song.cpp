#include "duet_song.h"

#include "demo_tunes.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace cantorix::assets::demo {

namespace {

const std::string kLineEnd = "\r\n";
constexpr int kMidiC4 = 60;

// A ballad in C major at 100: the first singer high (D4 to C5), the second low (A3 to E4).
TuneSheet duetSheet() {
    TuneSheet sheet;
    sheet.title = "Two Lighthouses";
    sheet.bpmText = "100";
    sheet.beatsPerBar = 16;
    sheet.introBars = 2;
    sheet.outroBars = 2;
    sheet.gapMs = 5000;
    sheet.chords = "C | G |"
                   " C | Am | F | C |"
                   " Am | G | F | C |"
                   " C | F | Am | G |"
                   " C | G | F,G | C |"
                   " F | C";
    sheet.lines = {
        "Two|E4|6 lights|G4|2 a-|A4|6 cross|G4|2 the|E4|6 bay|D4|2 shine|E4|20 _|_|20",
        "One|C4|6 for|B3|2 you|A3|6 and|B3|2 one|C4|6 for|D4|2 me|C4|20 _|_|20",
        "Send|G4|4 your|A4|4 beam|C5|8 a-|B4|4 cross|A4|4 the|G4|4 sea|A4|20 _|_|16",
        "I|E4|4 will|D4|4 an-|C4|8 swer|D4|4 you|E4|4 and|D4|4 see|C4|28 _|_|8",
    };
    sheet.groove = Groove::Pop;
    sheet.seed = 0x2d0e;
    return sheet;
}

std::string noteLine(char type, const SungNote& note) {
    return std::string(1, type) + " " + std::to_string(note.startBeat) + " " +
           std::to_string(note.lengthBeats) + " " + std::to_string(note.midiNote - kMidiC4) + " " +
           note.syllable + kLineEnd;
}

// Seconds with three decimals and a point, as version 1 files write times in seconds.
std::string seconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::round(ms) / 1000.0);
    return text;
}

} // namespace

DuetSong composeDuet() {
    DuetSong duet;
    duet.tune = buildTune(duetSheet());
    duet.singer1 = "Harbour Keeper";
    duet.singer2 = "Island Keeper";
    duet.voiceOfLine = {1, 2, 1, 2};
    // The held last notes of the first and the last line are golden; each "and" is spoken.
    for (const LyricLine& line : duet.tune.lines)
        for (const SungNote& note : line.notes)
            duet.noteTypes.push_back(note.syllable == "and " ? 'F' : ':');
    const auto lastNoteIndex = [&](std::size_t lineIndex) {
        std::size_t index = 0;
        for (std::size_t i = 0; i <= lineIndex; ++i)
            index += duet.tune.lines[i].notes.size();
        return index - 1;
    };
    duet.noteTypes[lastNoteIndex(0)] = '*';
    duet.noteTypes[lastNoteIndex(duet.tune.lines.size() - 1)] = '*';
    return duet;
}

std::string duetSongText(const DuetSong& duet, const DuetMedia& media) {
    const Tune& tune = duet.tune;
    if (duet.voiceOfLine.size() != tune.lines.size())
        throw std::runtime_error(tune.sheet.title + ": a voice for every line is needed");
    std::string text;
    text += "#VERSION:1.0.0" + kLineEnd;
    text += "#TITLE:" + tune.sheet.title + kLineEnd;
    text += "#ARTIST:" + std::string(kDemoArtist) + kLineEnd;
    text += "#AUDIO:" + media.audio + kLineEnd;
    text += "#MP3:" + media.audio + kLineEnd;
    text += "#COVER:" + media.cover + kLineEnd;
    text += "#BACKGROUND:" + media.background + kLineEnd;
    text += "#BPM:" + tune.sheet.bpmText + kLineEnd;
    text += "#GAP:" + std::to_string(tune.sheet.gapMs) + kLineEnd;
    // The preview starts with the second singer's first line: both voices are heard in it.
    text += "#PREVIEWSTART:" + seconds(tune.sungBeatMs(tune.lines[1].notes.front().startBeat)) +
            kLineEnd;
    text += "#P1:" + duet.singer1 + kLineEnd;
    text += "#P2:" + duet.singer2 + kLineEnd;
    for (int voice : {1, 2}) {
        text += "P" + std::to_string(voice) + kLineEnd;
        const SungNote* previous = nullptr; // the last note of the voice's previous line
        std::size_t noteIndex = 0;
        for (std::size_t i = 0; i < tune.lines.size(); ++i) {
            const LyricLine& line = tune.lines[i];
            if (duet.voiceOfLine[i] != voice) {
                noteIndex += line.notes.size();
                continue;
            }
            // A break ends the voice's previous line where its last note ends.
            if (previous)
                text +=
                    "- " + std::to_string(previous->startBeat + previous->lengthBeats) + kLineEnd;
            for (const SungNote& note : line.notes)
                text += noteLine(duet.noteTypes.at(noteIndex++), note);
            previous = &line.notes.back();
        }
    }
    text += "E" + kLineEnd;
    return text;
}

} // namespace cantorix::assets::demo
