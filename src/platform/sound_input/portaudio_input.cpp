#include "portaudio_input.h"

#include "pitch/capture_errors.h"
#include "platform/common/quiet_standard_error.h"

#include <algorithm>
#include <portaudio.h>

namespace cantorix::platform {

struct PortAudioInputCallback {
    // Runs on PortAudio's callback thread.
    static int run(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags, void* self) {
        if (input)
            static_cast<PortAudioInput*>(self)->onInput(static_cast<const std::int16_t*>(input),
                                                        frames);
        return paContinue;
    }
};

namespace {

void setReason(std::string* reason, const std::string& text) {
    if (reason)
        *reason = text;
}

} // namespace

PortAudioInput::PortAudioInput(CaptureHub& hub, std::string* reason) : m_hub(hub) {
    // Probing the host APIs prints a line for every missing device; the game reports itself.
    QuietStandardError quiet;
    const PaError init = Pa_Initialize();
    if (init != paNoError) {
        setReason(reason, Pa_GetErrorText(init));
        throw pitch::ESoundSystemError();
    }
    std::string why = "no input device";
    const PaDeviceIndex device = Pa_GetDefaultInputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (info && info->maxInputChannels > 0) {
        m_deviceName = info->name ? info->name : "";
        if (open(device, 1, why) || (info->maxInputChannels >= 2 && open(device, 2, why)))
            return;
    }
    Pa_Terminate();
    setReason(reason, why);
    throw pitch::ESoundCaptureStreamError::cannotInitialize();
}

bool PortAudioInput::open(int device, int channels, std::string& reason) {
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = channels;
    params.sampleFormat = paInt16;
    params.suggestedLatency = Pa_GetDeviceInfo(device)->defaultLowInputLatency;
    PaStream* stream = nullptr;
    PaError error =
        Pa_OpenStream(&stream, &params, nullptr, CaptureHub::kSampleRate,
                      paFramesPerBufferUnspecified, paNoFlag, &PortAudioInputCallback::run, this);
    if (error == paNoError) {
        m_channels = channels;
        error = Pa_StartStream(stream);
        if (error == paNoError) {
            m_stream = stream;
            return true;
        }
        Pa_CloseStream(stream);
    }
    reason = Pa_GetErrorText(error);
    return false;
}

PortAudioInput::~PortAudioInput() {
    Pa_StopStream(static_cast<PaStream*>(m_stream));
    Pa_CloseStream(static_cast<PaStream*>(m_stream));
    Pa_Terminate();
}

void PortAudioInput::onInput(const std::int16_t* samples, unsigned long frames) noexcept {
    if (m_channels == 1) {
        m_hub.deliver(samples, frames);
        return;
    }
    // Mix stereo down in small pieces on the stack: nothing here may allocate.
    constexpr unsigned long kPiece = 256;
    std::int16_t mono[kPiece];
    for (unsigned long done = 0; done < frames;) {
        const unsigned long n = std::min(kPiece, frames - done);
        for (unsigned long i = 0; i < n; ++i) {
            const int left = samples[2 * (done + i)];
            const int right = samples[2 * (done + i) + 1];
            mono[i] = static_cast<std::int16_t>((left + right) / 2);
        }
        m_hub.deliver(mono, n);
        done += n;
    }
}

} // namespace cantorix::platform
