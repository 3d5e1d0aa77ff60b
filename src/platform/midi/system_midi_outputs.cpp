#include "system_midi_outputs.h"

#include "alsa_sequencer_output.h"
#include "fluid_synth_output.h"

namespace cantorix::platform {

namespace {

constexpr const char* kSynthesizerName = "Built-in synthesizer (General MIDI)";

} // namespace

SystemMidiOutputs::SystemMidiOutputs(AudioOutput& output, std::filesystem::path soundFont)
    : m_output(output), m_soundFont(std::move(soundFont)) {}

std::vector<std::string> SystemMidiOutputs::names() {
    return listMidiOutputDevices();
}

std::unique_ptr<midi::MidiOutputDevice> SystemMidiOutputs::open(int number) {
    if (number == 0) {
        try {
            return std::make_unique<FluidSynthOutput>(
                m_output, m_soundFont.empty() ? findGeneralMidiSoundFont() : m_soundFont);
        } catch (const ESynthesizerError&) {
            return nullptr;
        } catch (const EAudioOutputError&) {
            return nullptr;
        }
    }
    if (number < 0)
        return nullptr;
    const std::vector<SequencerPort> ports = listSequencerPorts();
    if (static_cast<std::size_t>(number) > ports.size())
        return nullptr;
    return AlsaSequencerOutput::open(ports[static_cast<std::size_t>(number) - 1]);
}

std::vector<std::string> listMidiOutputDevices() {
    std::vector<std::string> names{kSynthesizerName};
    for (const SequencerPort& port : listSequencerPorts())
        names.push_back(port.name);
    return names;
}

} // namespace cantorix::platform
