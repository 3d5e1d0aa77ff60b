#pragma once
// The default PortAudio input device as the producer of the capture hub: 44100 Hz 16-bit,
// mono, or stereo mixed down when the device offers no mono. Opened and started when made,
// stopped and closed when destroyed (main thread); its callback runs on PortAudio's thread.

#include "capture_hub.h"
#include "capture_service.h"

#include <string>

namespace cantorix::platform {

class PortAudioInput : public CaptureSource {
public:
    // Throws pitch::ESoundSystemError when PortAudio cannot start and
    // pitch::ESoundCaptureStreamError ("… cannot be initialized") when there is no input
    // device or it cannot be opened; reason, when given, then receives PortAudio's own words.
    explicit PortAudioInput(CaptureHub& hub, std::string* reason = nullptr);
    ~PortAudioInput() override;
    PortAudioInput(const PortAudioInput&) = delete;
    PortAudioInput& operator=(const PortAudioInput&) = delete;

    std::string describe() const override { return "microphone " + m_deviceName; }

private:
    friend struct PortAudioInputCallback;

    // Runs on PortAudio's callback thread.
    void onInput(const std::int16_t* samples, unsigned long frames) noexcept;
    bool open(int device, int channels, std::string& reason);

    CaptureHub& m_hub;
    void* m_stream = nullptr;
    int m_channels = 1;
    std::string m_deviceName;
};

} // namespace cantorix::platform
