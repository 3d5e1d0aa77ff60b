#pragma once
// Port: SemitoneTracker. Adapter: platform/voice/aubio_semitone_tracker.h;
// fake: tests/fakes/semitone_ticks.h.
// The semitone pitch of a voice: the port through which the analysis tick asks for the
// fundamental of the newest microphone samples as a MIDI note number with a fraction, and
// whether the sound is voiced at all. Implemented in platform/; main thread only.

#include <cstdint>
#include <span>

namespace cantorix::pitch {

// A fundamental between C2 and C6 (MIDI 36 to 84) when voiced; midiNote means nothing otherwise.
struct SemitoneReading {
    bool voiced = false;
    double midiNote = 0.0; // 69.0 is A4 = 440 Hz

    bool operator==(const SemitoneReading&) const = default;
};

class SemitoneTracker {
public:
    virtual ~SemitoneTracker() = default;
    // The newest samples, oldest first, 16-bit mono at 44100 Hz; at least the tracker's window.
    virtual SemitoneReading analyse(std::span<const std::int16_t> newest) = 0;
    // How many of the newest samples analyse() looks at.
    virtual std::size_t windowSamples() const = 0;
};

} // namespace cantorix::pitch
