#pragma once
// Port: MidiOutputDevices, MidiOutputDevice. Adapter: platform/midi/system_midi_outputs.h;
// fake: tests/fakes/fake_midi_output.h.
// The ports the MIDI output reaches its platform through: an open output device that takes
// channel messages, and the numbered list of devices that can be opened. Adapters live in
// platform/ (the built-in synthesizer as device 0, sequencer ports after it); fakes in tests/.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cantorix::midi {

// One open output device. Its owner serialises the calls (the output registry's lock), which
// come from the window thread or the player's timer thread; destroying it closes the device.
class MidiOutputDevice {
public:
    virtual ~MidiOutputDevice() = default;
    // Plays one channel message (status 80 to EF) now: status in the low byte, then the first
    // and the second data byte (0 when the status has only one), as TEventData::shortMessage().
    virtual void sendShortMessage(std::uint32_t message) = 0;
    // Ends every sounding note on every channel, as before closing.
    virtual void reset() = 0;
};

// The MIDI output devices of this machine, numbered from 0. Window thread.
class MidiOutputDevices {
public:
    virtual ~MidiOutputDevices() = default;
    // The device names in device-number order, for the user to pick from.
    virtual std::vector<std::string> names() = 0;
    // Opens device `number`; null when there is no such device or it cannot be opened.
    virtual std::unique_ptr<MidiOutputDevice> open(int number) = 0;
};

} // namespace cantorix::midi
