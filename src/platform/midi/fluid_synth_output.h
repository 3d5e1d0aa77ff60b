#pragma once
// MIDI output device 0: the built-in General MIDI synthesizer (FluidSynth with a SoundFont),
// rendered into a stream of the game's sound output. Senders put channel messages into a
// lock-free queue that grows rather than fills, so a sender (the player's tick, the window
// thread) never waits for the synthesizer; the output's device thread applies them at the
// start of each block and then renders, so only that thread ever touches the synthesizer.

#include "growing_spsc_queue.h"
#include "midi/midi_output_device_port.h"
#include "platform/sound_output/audio_output.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace cantorix::platform {

// The synthesizer cannot start; the message says why.
class ESynthesizerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The General MIDI SoundFont to play with: TimGM6mb when installed, else the system's default
// SoundFont; empty when there is none.
std::filesystem::path findGeneralMidiSoundFont();

class FluidSynthOutput : public midi::MidiOutputDevice, private AudioSource {
public:
    static constexpr int kSampleRate = 44100;

    // Loads the SoundFont and starts a stream on `output`, which must outlive the device.
    // Throws ESynthesizerError when the SoundFont or the stream cannot be had. Window thread.
    FluidSynthOutput(AudioOutput& output, const std::filesystem::path& soundFont);
    ~FluidSynthOutput() override;
    FluidSynthOutput(const FluidSynthOutput&) = delete;
    FluidSynthOutput& operator=(const FluidSynthOutput&) = delete;

    // Any thread, without waiting; the message sounds at the start of the next block the
    // device renders.
    void sendShortMessage(std::uint32_t message) override;
    void reset() override;

private:
    // Device thread: applies the queued messages, then renders.
    void render(float* out, std::size_t frames) noexcept override;
    void apply(std::uint32_t message) noexcept;
    void push(std::uint32_t message);

    struct Synth; // the library's settings and synthesizer
    std::unique_ptr<Synth> m_synth;
    std::unique_ptr<AudioStream> m_stream;
    std::mutex m_sendMutex; // makes the senders one producer of the queue
    GrowingSpscQueue<std::uint32_t> m_messages;
    std::uint64_t m_pushed = 0;              // under m_sendMutex
    std::atomic<std::uint64_t> m_applied{0}; // written by the device thread
};

} // namespace cantorix::platform
