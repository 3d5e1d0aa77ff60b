#include "device_capture.h"

#include "platform/common/quiet_standard_error.h"

#include <algorithm>
#include <chrono>
#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <stdexcept>

namespace cantorix::platform {

namespace {

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Keeps PortAudio initialised while a stream is being opened; Pa_Initialize counts, so this
// never closes the sound output's own stream.
class PortAudioUse {
public:
    PortAudioUse() {
        QuietStandardError quiet;
        m_error = Pa_Initialize();
    }
    ~PortAudioUse() {
        if (m_error == paNoError && !m_kept)
            Pa_Terminate();
    }
    PortAudioUse(const PortAudioUse&) = delete;
    PortAudioUse& operator=(const PortAudioUse&) = delete;
    PaError error() const { return m_error; }
    void keep() { m_kept = true; }

private:
    PaError m_error;
    bool m_kept = false;
};

} // namespace

struct DeviceCaptureCallbacks {
    // Run on PortAudio's callback thread.
    static int input(const void* input, void*, unsigned long frames,
                     const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
        if (input)
            static_cast<DeviceCapture*>(self)->onInput(static_cast<const std::int16_t*>(input),
                                                       frames);
        return paContinue;
    }
    static void finished(void* self) { static_cast<DeviceCapture*>(self)->m_finished.store(true); }
};

DeviceCapture::DeviceCapture(const std::string& deviceString, int channels) {
    if (channels < 1)
        throw std::runtime_error("the device has no channels");
    for (int c = 0; c < channels; ++c)
        m_channels.push_back(std::make_unique<CaptureService>());
    PortAudioUse portAudio;
    if (portAudio.error() != paNoError)
        throw std::runtime_error(Pa_GetErrorText(portAudio.error()));
    PaAlsaStreamInfo alsa;
    PaAlsa_InitializeStreamInfo(&alsa);
    alsa.deviceString = deviceString.c_str();
    PaStreamParameters params{};
    params.device = paUseHostApiSpecificDeviceSpecification;
    params.channelCount = channels;
    params.sampleFormat = paInt16;
    params.suggestedLatency = 0.02;
    params.hostApiSpecificStreamInfo = &alsa;
    PaStream* stream = nullptr;
    PaError error;
    {
        QuietStandardError quiet; // ALSA explains a missing device on stderr; we say it ourselves
        error = Pa_OpenStream(&stream, &params, nullptr, CaptureHub::kSampleRate,
                              paFramesPerBufferUnspecified, paNoFlag,
                              &DeviceCaptureCallbacks::input, this);
    }
    if (error == paNoError) {
        Pa_SetStreamFinishedCallback(stream, &DeviceCaptureCallbacks::finished);
        error = Pa_StartStream(stream);
        if (error != paNoError)
            Pa_CloseStream(stream);
    }
    if (error != paNoError) {
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        throw std::runtime_error(error == paUnanticipatedHostError && host && host->errorText
                                     ? host->errorText
                                     : Pa_GetErrorText(error));
    }
    m_stream = stream;
    portAudio.keep();
    m_framesSeenAt = steadySeconds();
}

DeviceCapture::~DeviceCapture() {
    stop();
}

void DeviceCapture::stop() {
    auto* stream = static_cast<PaStream*>(m_stream);
    if (!stream)
        return;
    Pa_StopStream(stream);
    Pa_CloseStream(stream);
    Pa_Terminate();
    m_stream = nullptr;
}

bool DeviceCapture::lost() const {
    if (m_lost)
        return true;
    const double now = steadySeconds();
    const std::uint64_t frames = m_framesIn.load(std::memory_order_relaxed);
    if (frames != m_framesSeen) {
        m_framesSeen = frames;
        m_framesSeenAt = now;
    }
    m_lost = m_finished.load() || !m_stream ||
             Pa_IsStreamActive(static_cast<PaStream*>(m_stream)) != 1 ||
             now - m_framesSeenAt > kSilentSecondsLost;
    return m_lost;
}

void DeviceCapture::onInput(const std::int16_t* samples, unsigned long frames) noexcept {
    // De-interleave in small pieces on the stack: nothing here may allocate.
    constexpr unsigned long kPiece = 256;
    std::int16_t mono[kPiece];
    const std::size_t stride = m_channels.size();
    for (std::size_t c = 0; c < stride; ++c) {
        CaptureHub& hub = m_channels[c]->hub();
        for (unsigned long done = 0; done < frames;) {
            const unsigned long n = std::min(kPiece, frames - done);
            for (unsigned long i = 0; i < n; ++i)
                mono[i] = samples[(done + i) * stride + c];
            hub.deliver(mono, n);
            done += n;
        }
    }
    m_framesIn.fetch_add(frames, std::memory_order_relaxed);
}

} // namespace cantorix::platform
