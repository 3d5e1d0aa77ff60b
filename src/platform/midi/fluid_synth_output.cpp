#include "fluid_synth_output.h"

#include <array>
#include <fluidsynth.h>

namespace cantorix::platform {

namespace {

// Messages waiting for the device thread beyond this are dropped: only a device that has
// stopped rendering for good lets so many pile up (16 MiB of them).
constexpr std::uint64_t kMaxWaitingMessages = std::uint64_t{1} << 22;
// Not a channel message: the device thread ends every note when it meets this word.
constexpr std::uint32_t kResetMarker = 0xFF;

void quietLibraryLog() {
    // The library reports harmless SoundFont details on the standard error; errors still show.
    static const bool done = [] {
        fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
        return true;
    }();
    (void)done;
}

} // namespace

struct FluidSynthOutput::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    ~Synth() {
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
};

std::filesystem::path findGeneralMidiSoundFont() {
    std::error_code error;
    std::filesystem::path preferred = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (std::filesystem::is_regular_file(preferred, error))
        return preferred;
    quietLibraryLog();
    std::filesystem::path fallback;
    if (fluid_settings_t* settings = new_fluid_settings()) {
        char* name = nullptr;
        if (fluid_settings_dupstr(settings, "synth.default-soundfont", &name) == FLUID_OK && name) {
            fallback = name;
            fluid_free(name);
        }
        delete_fluid_settings(settings);
    }
    if (!fallback.empty() && std::filesystem::is_regular_file(fallback, error))
        return fallback;
    return {};
}

FluidSynthOutput::FluidSynthOutput(AudioOutput& output, const std::filesystem::path& soundFont)
    : m_synth(std::make_unique<Synth>()) {
    quietLibraryLog();
    if (soundFont.empty())
        throw ESynthesizerError("No General MIDI SoundFont is installed");
    std::error_code error;
    if (!std::filesystem::is_regular_file(soundFont, error))
        throw ESynthesizerError("The SoundFont " + soundFont.string() + " does not exist");
    // The stream decides the rate; it does not call render() before start().
    m_stream = output.openStream(kSampleRate, *this);
    m_synth->settings = new_fluid_settings();
    if (!m_synth->settings)
        throw ESynthesizerError("Cannot create the synthesizer settings");
    // Only the device thread plays the synthesizer, so its own locking is not needed.
    fluid_settings_setint(m_synth->settings, "synth.threadsafe-api", 0);
    fluid_settings_setnum(m_synth->settings, "synth.sample-rate", m_stream->sampleRate());
    m_synth->synth = new_fluid_synth(m_synth->settings);
    if (!m_synth->synth)
        throw ESynthesizerError("Cannot create the synthesizer");
    if (fluid_synth_sfload(m_synth->synth, soundFont.c_str(), 1) == FLUID_FAILED)
        throw ESynthesizerError("Cannot load the SoundFont " + soundFont.string());
    m_stream->start();
}

FluidSynthOutput::~FluidSynthOutput() {
    // The stream goes first: after stop() the device thread no longer renders.
    m_stream->stop();
    m_stream.reset();
}

void FluidSynthOutput::sendShortMessage(std::uint32_t message) {
    push(message);
}

void FluidSynthOutput::reset() {
    push(kResetMarker);
}

void FluidSynthOutput::push(std::uint32_t message) {
    std::lock_guard lock(m_sendMutex);
    if (m_pushed - m_applied.load(std::memory_order_relaxed) >= kMaxWaitingMessages)
        return;
    m_messages.push(message);
    ++m_pushed;
}

void FluidSynthOutput::render(float* out, std::size_t frames) noexcept {
    std::array<std::uint32_t, 256> batch;
    std::size_t n;
    while ((n = m_messages.pop(batch.data(), batch.size())) > 0) {
        for (std::size_t i = 0; i < n; ++i)
            apply(batch[i]);
        m_applied.fetch_add(n, std::memory_order_relaxed);
    }
    fluid_synth_write_float(m_synth->synth, static_cast<int>(frames), out, 0, kOutputChannels, out,
                            1, kOutputChannels);
}

void FluidSynthOutput::apply(std::uint32_t message) noexcept {
    fluid_synth_t* synth = m_synth->synth;
    if (message == kResetMarker) {
        fluid_synth_all_notes_off(synth, -1);
        return;
    }
    const int status = static_cast<int>(message & 0xFF);
    const int channel = status & 0x0F;
    const int data1 = static_cast<int>(message >> 8 & 0x7F);
    const int data2 = static_cast<int>(message >> 16 & 0x7F);
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case 0x90:
        if (data2 == 0)
            fluid_synth_noteoff(synth, channel, data1);
        else
            fluid_synth_noteon(synth, channel, data1, data2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7);
        break;
    default:
        break;
    }
}

} // namespace cantorix::platform
