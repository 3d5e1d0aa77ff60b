#pragma once
// A standard song's voice sung exactly by the generated singer, its first sample heard as the
// song's audio starts: what a WAV standing in for a microphone carries in the window's tests.

#include "fakes/generated_voice.h"
#include "session/standard_timeline.h"
#include "songs/standard_song.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cantorix::testing {

// `semitones` away from every note: 0 sings in tune.
inline std::vector<std::int16_t> recordedVoice(const songs::StandardSong& song, std::size_t voice,
                                               int semitones = 0) {
    std::vector<VoiceNote> notes;
    for (const session::TimedNote& n : session::voiceTimeline(song, voice).notes)
        notes.push_back({static_cast<int>(std::lround(n.startMs - song.startMs)),
                         static_cast<int>(std::lround(n.endMs - n.startMs)),
                         60 + n.note.pitch + semitones});
    return generatedVoice(notes);
}

} // namespace cantorix::testing
