#include "song_text.h"

#include "demo_tunes.h"

#include <stdexcept>

namespace cantorix::assets::demo {

namespace {

const std::string kLineEnd = "\r\n";

std::string noteLine(const SungNote& note, int pitch) {
    return ": " + std::to_string(note.startBeat) + " " + std::to_string(note.lengthBeats) + " " +
           std::to_string(pitch) + " " + note.syllable + kLineEnd;
}

} // namespace

std::string songText(const Tune& tune, const std::vector<int>& pitches, const std::string& mp3Name,
                     const std::string& videoName) {
    std::size_t noteCount = 0;
    for (const LyricLine& line : tune.lines)
        noteCount += line.notes.size();
    if (pitches.size() != noteCount)
        throw std::runtime_error(tune.sheet.title + ": " + std::to_string(pitches.size()) +
                                 " pitches for " + std::to_string(noteCount) + " notes");
    std::string text;
    text += "#TITLE:" + tune.sheet.title + kLineEnd;
    text += "#ARTIST:" + std::string(kDemoArtist) + kLineEnd;
    text += "#MP3:" + mp3Name + kLineEnd;
    if (!videoName.empty())
        text += "#VIDEO:" + videoName + kLineEnd;
    text += "#BPM:" + tune.sheet.bpmText + kLineEnd;
    text += "#GAP:" + std::to_string(tune.sheet.gapMs) + kLineEnd;
    std::size_t next = 0;
    for (std::size_t i = 0; i < tune.lines.size(); ++i) {
        const LyricLine& line = tune.lines[i];
        if (i > 0) {
            const SungNote& last = tune.lines[i - 1].notes.back();
            text += "- " + std::to_string(last.startBeat + last.lengthBeats) + kLineEnd;
        }
        for (const SungNote& note : line.notes)
            text += noteLine(note, pitches[next++]);
    }
    text += "E" + kLineEnd;
    return text;
}

} // namespace cantorix::assets::demo
