#pragma once
// MIDI output devices 1, 2, …: the writable ports of the ALSA sequencer (hardware MIDI
// interfaces and software synthesizers). A device is a port of our own client connected to the
// chosen port; messages go out directly, unqueued. Where the sequencer cannot be opened (no
// /dev/snd/seq) there are simply no such devices.

#include "midi/midi_output_device_port.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cantorix::platform {

// A port that can receive events, as the sequencer names it.
struct SequencerPort {
    int client = 0;
    int port = 0;
    std::string name; // "client name: port name"
};

// The sequencer's writable ports other than the system's and our own; empty when the
// sequencer cannot be opened. Window thread.
std::vector<SequencerPort> listSequencerPorts();

class AlsaSequencerOutput : public midi::MidiOutputDevice {
public:
    // Null when the sequencer or the connection to `target` cannot be had. Window thread.
    static std::unique_ptr<AlsaSequencerOutput> open(const SequencerPort& target);
    ~AlsaSequencerOutput() override;
    AlsaSequencerOutput(const AlsaSequencerOutput&) = delete;
    AlsaSequencerOutput& operator=(const AlsaSequencerOutput&) = delete;

    void sendShortMessage(std::uint32_t message) override;
    void reset() override;

private:
    struct Sequencer; // the library's handles
    explicit AlsaSequencerOutput(std::unique_ptr<Sequencer> sequencer);
    void sendBytes(const unsigned char* bytes, long length);

    std::unique_ptr<Sequencer> m_sequencer;
    std::mutex m_mutex; // the event encoder keeps state between calls
};

} // namespace cantorix::platform
