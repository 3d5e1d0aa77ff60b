#pragma once
// Port: MidiTimer. Adapter: platform/midi/midi_timer_thread.h;
// fake: tests/fakes/manual_midi_timer.h.
// The port of the periodic timer that drives MIDI playback: a millisecond clock and a tick
// that runs on a thread of the timer's own. The platform adapter is a thread of ours; tests
// use a manual timer whose ticks and clock they drive themselves.

#include <cstdint>
#include <functional>

namespace cantorix::midi {

class MidiTimer {
public:
    virtual ~MidiTimer() = default;
    // Milliseconds of a steady clock; the count wraps at 2^32, so only differences matter.
    // Any thread.
    virtual std::uint32_t nowMs() = 0;
    // The finest timer resolution in ms that this timer offers.
    virtual std::int32_t minimumPeriod() const = 0;
    // Calls tick every intervalMs ms on the timer's thread, asking the system for periodMs
    // resolution meanwhile; false when the timer cannot run. Only while stopped.
    virtual bool start(std::int32_t periodMs, std::int32_t intervalMs,
                       std::function<void()> tick) = 0;
    // Ends the ticks. From another thread it returns once no tick runs any more; from inside
    // a tick it only makes that tick the last. Doing nothing when stopped.
    virtual void stop() = 0;
};

} // namespace cantorix::midi
