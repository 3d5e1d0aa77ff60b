#pragma once
// Measures the microphone's delay: a few short clicks are played through the sound output, found
// again in what the microphone captured, and the median time between a click leaving and
// arriving is the delay. Drives a `ClickPlayer` it borrows; the finding is pure. Main thread.

#include "click_player_port.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace cantorix::session {

// The clicks of one round and where each begins in the signal.
struct ClickSignal {
    int sampleRate = 44100;
    std::vector<float> samples;
    std::vector<std::size_t> clickStarts;
};

// Five clicks (short chirps, sharp when correlated), spaced so that a click delayed by the
// longest measurable delay still arrives before the next one leaves, with quiet before and
// after for the last one to come back.
ClickSignal makeClickSignal(int sampleRate = 44100);

// The longest delay looked for, in ms.
inline constexpr double kLongestDelayMs = 550;

// The median of the delays (ms) between each click leaving and arriving in the recording;
// nothing unless most of the clicks stand out clearly from what else was captured.
std::optional<double> measureClickDelay(const ClickSignal& signal,
                                        const ClickRoundRecording& recording);

class DelayCalibration {
public:
    explicit DelayCalibration(ClickPlayer& player) : m_player(player) {}

    // Starts a round; passes on what the player throws.
    void start();
    // Every few ms while the round runs: true once it is over.
    bool step();
    // Ends the round: the measured delay in ms, or nothing when no click was heard.
    std::optional<double> finish();
    bool running() const { return m_running; }

private:
    ClickPlayer& m_player;
    ClickSignal m_signal;
    bool m_running = false;
};

} // namespace cantorix::session
