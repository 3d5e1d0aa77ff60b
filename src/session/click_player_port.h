#pragma once
// Port: ClickPlayer. Adapter: platform/sound_input/output_click_player.h;
// fake: tests/fakes/loopback_click_player.h.
// The port through which the delay calibration plays its clicks and listens for them: the sound
// output plays a mono signal while the microphone is captured, and both are placed on one
// steady clock. The adapter lives in platform/; a loopback fake in tests. Main thread only.

#include <cstdint>
#include <vector>

namespace cantorix::session {

// What one round of clicks did, on one steady clock in seconds.
struct ClickRoundRecording {
    double signalHeardAt = 0;           // when the signal's first sample reached the listener
    int sampleRate = 44100;             // of the captured samples
    std::vector<std::int16_t> captured; // mono, from the moment listening began
    double firstCapturedAt = 0;         // when captured[0] reached the program
};

class ClickPlayer {
public:
    virtual ~ClickPlayer() = default;
    // Starts listening and playing signal (mono, −1 … 1, at sampleRate). Throws an exception
    // whose message the player can read when the output cannot play.
    virtual void start(const std::vector<float>& signal, int sampleRate) = 0;
    // Takes what the microphone delivered since the last call; called every few ms.
    virtual void collect() = 0;
    // The whole signal has been played.
    virtual bool played() const = 0;
    // Stops playing and listening and hands over the round.
    virtual ClickRoundRecording finish() = 0;
};

} // namespace cantorix::session
