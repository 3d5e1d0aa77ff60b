#pragma once
// The silent output: each stream has a thread of ours that pulls frames from its source at
// the sample rate, paced by the steady clock, and discards them. Lets every screen run on a
// machine without a sound card exactly as it runs with one.

#include "audio_output.h"

namespace cantorix::platform {

class NullAudioOutput : public AudioOutput {
public:
    // With fixedRate > 0 every stream runs at that rate whatever is asked for, as hardware that
    // knows one rate only does; 0 accepts any rate.
    explicit NullAudioOutput(int fixedRate = 0) : m_fixedRate(fixedRate) {}

    std::string name() const override { return "none (silent, real-time pace)"; }
    std::unique_ptr<AudioStream> openStream(int sampleRate, AudioSource& source) override;

private:
    int m_fixedRate;
};

} // namespace cantorix::platform
