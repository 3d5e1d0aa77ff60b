#include "song_text.h"

#include "demo_tunes.h"
#include "sung_value.h"

#include <stdexcept>

namespace cantorix::assets::demo {

namespace {

const std::string kLineEnd = "\r\n";

std::string noteLine(const SungNote& note) {
    const std::optional<int> pitch = sungValueForFrequency(midiNoteHz(note.midiNote));
    if (!pitch)
        throw std::runtime_error("no sung value for '" + note.syllable + "'");
    return ": " + std::to_string(note.startBeat) + " " + std::to_string(note.lengthBeats) + " " +
           std::to_string(*pitch) + " " + note.syllable + kLineEnd;
}

} // namespace

std::string songText(const Tune& tune, const std::string& mp3Name) {
    std::string text;
    text += "#TITLE:" + tune.sheet.title + kLineEnd;
    text += "#ARTIST:" + std::string(kDemoArtist) + kLineEnd;
    text += "#MP3:" + mp3Name + kLineEnd;
    text += "#BPM:" + tune.sheet.bpmText + kLineEnd;
    text += "#GAP:" + std::to_string(tune.sheet.gapMs) + kLineEnd;
    for (std::size_t i = 0; i < tune.lines.size(); ++i) {
        const LyricLine& line = tune.lines[i];
        if (i > 0) {
            const SungNote& last = tune.lines[i - 1].notes.back();
            text += "- " + std::to_string(last.startBeat + last.lengthBeats) + kLineEnd;
        }
        for (const SungNote& note : line.notes)
            text += noteLine(note);
    }
    text += "E" + kLineEnd;
    return text;
}

} // namespace cantorix::assets::demo
