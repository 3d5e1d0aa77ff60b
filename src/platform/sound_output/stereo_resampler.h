#pragma once
// Sample-rate conversion of interleaved stereo float frames through libsoxr, for a sound
// output that does not run at the rate of what it plays. Owns the converter; one thread at a
// time.

#include <cstddef>

struct soxr;

namespace cantorix::platform {

class StereoResampler {
public:
    struct Step {
        std::size_t used = 0;     // input frames taken
        std::size_t produced = 0; // output frames written
    };

    // Throws EAudioOutputError when the rates cannot be converted.
    StereoResampler(int inputRate, int outputRate);
    ~StereoResampler();
    StereoResampler(const StereoResampler&) = delete;
    StereoResampler& operator=(const StereoResampler&) = delete;

    // Takes as much of the input as fits into maxOutput output frames; call again with the
    // rest. With input == nullptr the input has ended and the converter drains its filter; a
    // step that produces nothing then means it is empty.
    Step process(const float* input, std::size_t inputFrames, float* output, std::size_t maxOutput);
    // Forgets all input so far, for a new start (after a seek).
    void clear();

private:
    soxr* m_soxr = nullptr;
};

} // namespace cantorix::platform
