#pragma once
// The default PortAudio output device. Holds one reference on the PortAudio library for its
// lifetime; streams play stereo float frames that the device thread pulls from their source.
// Main thread.

#include "audio_output.h"

#include <string>

namespace cantorix::platform {

class PortAudioOutput : public AudioOutput {
public:
    // Throws EAudioOutputError when PortAudio has no default output device or a stream on it
    // does not open.
    PortAudioOutput();
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    std::string name() const override;
    std::unique_ptr<AudioStream> openStream(int sampleRate, AudioSource& source) override;

private:
    int m_device = -1;
    std::string m_deviceName;
    double m_defaultRate = 0;
};

} // namespace cantorix::platform
