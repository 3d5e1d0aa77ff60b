#pragma once
// The MIDI output devices of this machine in the order the game numbers them: device 0 is the
// built-in synthesizer, rendered through the game's sound output; the ALSA sequencer's
// writable ports follow as devices 1, 2, …. Window thread.

#include "midi/midi_output_device_port.h"
#include "platform/sound_output/audio_output.h"

#include <filesystem>

namespace cantorix::platform {

class SystemMidiOutputs : public midi::MidiOutputDevices {
public:
    // The output must outlive every device opened here. An empty soundFont means the General
    // MIDI SoundFont of the system.
    explicit SystemMidiOutputs(AudioOutput& output, std::filesystem::path soundFont = {});

    std::vector<std::string> names() override;
    std::unique_ptr<midi::MidiOutputDevice> open(int number) override;

private:
    AudioOutput& m_output;
    std::filesystem::path m_soundFont;
};

// The device names for the editor's picker, numbered as SystemMidiOutputs numbers them.
std::vector<std::string> listMidiOutputDevices();

} // namespace cantorix::platform
