#include "portaudio_output.h"

#include "platform/common/quiet_standard_error.h"

#include <algorithm>
#include <cmath>
#include <portaudio.h>

namespace cantorix::platform {

namespace {

void check(PaError error, const std::string& what) {
    if (error < 0)
        throw EAudioOutputError(what + ": " + Pa_GetErrorText(error));
}

PaStreamParameters stereoFloat(int device) {
    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = kOutputChannels;
    parameters.sampleFormat = paFloat32;
    // Music and synthesizer playback favour a glitch-free stream over a short delay; positions
    // take the delay off.
    parameters.suggestedLatency = Pa_GetDeviceInfo(device)->defaultHighOutputLatency;
    return parameters;
}

class PortAudioStream : public AudioStream {
public:
    PortAudioStream(int device, double sampleRate, AudioSource& source) {
        const PaStreamParameters parameters = stereoFloat(device);
        check(Pa_OpenStream(&m_stream, nullptr, &parameters, sampleRate,
                            paFramesPerBufferUnspecified, paNoFlag, &PortAudioStream::callback,
                            &source),
              "Cannot open a sound stream at " + std::to_string(std::lround(sampleRate)) + " Hz");
        const PaStreamInfo* info = Pa_GetStreamInfo(m_stream);
        m_rate = static_cast<int>(std::lround(info->sampleRate));
        m_latency = static_cast<std::size_t>(std::lround(info->outputLatency * info->sampleRate));
    }

    ~PortAudioStream() override {
        stop();
        Pa_CloseStream(m_stream);
    }
    PortAudioStream(const PortAudioStream&) = delete;
    PortAudioStream& operator=(const PortAudioStream&) = delete;

    void start() override {
        if (Pa_IsStreamStopped(m_stream) == 1)
            check(Pa_StartStream(m_stream), "Cannot start the sound stream");
    }

    void stop() override {
        if (Pa_IsStreamStopped(m_stream) == 0)
            Pa_AbortStream(m_stream);
    }

    int sampleRate() const override { return m_rate; }
    std::size_t latencyFrames() const override { return m_latency; }

private:
    // Device thread.
    static int callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* source) {
        static_cast<AudioSource*>(source)->render(static_cast<float*>(output), frames);
        return paContinue;
    }

    PaStream* m_stream = nullptr;
    int m_rate = 0;
    std::size_t m_latency = 0;
};

class SilentSource : public AudioSource {
public:
    void render(float* out, std::size_t frames) noexcept override {
        std::fill(out, out + frames * kOutputChannels, 0.0f);
    }
};

} // namespace

PortAudioOutput::PortAudioOutput() {
    QuietStandardError quiet;
    check(Pa_Initialize(), "Cannot initialise PortAudio");
    try {
        m_device = Pa_GetDefaultOutputDevice();
        if (m_device == paNoDevice)
            throw EAudioOutputError("PortAudio has no output device");
        const PaDeviceInfo* info = Pa_GetDeviceInfo(m_device);
        m_deviceName = info->name;
        m_defaultRate = info->defaultSampleRate;
        // Devices that are listed may still refuse to open (busy, or unplugged).
        SilentSource silence;
        PortAudioStream probe(m_device, m_defaultRate, silence);
    } catch (...) {
        Pa_Terminate();
        throw;
    }
}

PortAudioOutput::~PortAudioOutput() {
    Pa_Terminate();
}

std::string PortAudioOutput::name() const {
    return "PortAudio '" + m_deviceName + "'";
}

std::unique_ptr<AudioStream> PortAudioOutput::openStream(int sampleRate, AudioSource& source) {
    const PaStreamParameters parameters = stereoFloat(m_device);
    if (Pa_IsFormatSupported(nullptr, &parameters, sampleRate) == paFormatIsSupported) {
        try {
            return std::make_unique<PortAudioStream>(m_device, sampleRate, source);
        } catch (const EAudioOutputError&) {
            // Some host APIs accept a rate in the check and refuse it at open.
        }
    }
    return std::make_unique<PortAudioStream>(m_device, m_defaultRate, source);
}

} // namespace cantorix::platform
