#pragma once
// Each open input's level and sung note, the input a singer is heard on and the inputs carrying
// one sound, read while the singers screen shows. Owns a capture ring and a semitone tracker per
// input from start() to stop(). Main thread only (tick() from the screen's 50 ms timer).

#include "pitch/capture_port.h"
#include "pitch/semitone_tracker_port.h"
#include "session/input_binding.h"
#include "sound_inputs_port.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace cantorix::app {

using SemitoneTrackerFactory = std::function<std::unique_ptr<pitch::SemitoneTracker>()>;

struct InputReading {
    const SoundInput* input = nullptr;
    double levelDb = session::kSilenceDb;
    std::optional<double> midiNote; // while voiced
};

class InputMonitor {
public:
    // Without makeTracker no note is read.
    explicit InputMonitor(SemitoneTrackerFactory makeTracker = {});
    ~InputMonitor();

    // Opens a ring on each open input of inputs as listed now (stopping what ran before). The
    // inputs must stay listed until stop().
    void start(const SoundInputs& inputs);
    void stop();
    bool running() const { return !m_inputs.empty(); }

    // Reads what each input delivered since the last tick and updates the readings, the
    // listening and the same-signal search.
    void tick();
    const std::vector<InputReading>& readings() const { return m_readings; }

    // Listening for a singer: the next tick on which one input has led the others long enough
    // returns it from heard(), once; listening then ends.
    void listen();
    void stopListening() { m_listening = false; }
    bool listening() const { return m_listening; }
    const SoundInput* heard();

    // Pairs of inputs (as in readings()) that carry the same sound.
    std::vector<std::pair<const SoundInput*, const SoundInput*>> sameSignalPairs() const;

private:
    struct Monitored;
    void readNew(Monitored& monitored);

    SemitoneTrackerFactory m_makeTracker;
    std::vector<std::unique_ptr<Monitored>> m_inputs;
    std::vector<InputReading> m_readings;
    session::LoudestInputDetector m_loudest;
    session::SameSignalDetector m_sameSignal;
    bool m_listening = false;
    const SoundInput* m_heard = nullptr;
};

// "A4" for MIDI note 69, rounded to the nearest semitone.
std::string noteName(double midiNote);

} // namespace cantorix::app
