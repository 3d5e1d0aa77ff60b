#include "stereo_resampler.h"

#include "audio_output.h"

#include <soxr.h>
#include <string>

namespace cantorix::platform {

StereoResampler::StereoResampler(int inputRate, int outputRate) {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    m_soxr = soxr_create(inputRate, outputRate, kOutputChannels, &error, &io, &quality, nullptr);
    if (error) {
        soxr_delete(m_soxr);
        throw EAudioOutputError("Cannot convert " + std::to_string(inputRate) + " Hz to " +
                                std::to_string(outputRate) + " Hz: " + error);
    }
}

StereoResampler::~StereoResampler() {
    soxr_delete(m_soxr);
}

StereoResampler::Step StereoResampler::process(const float* input, std::size_t inputFrames,
                                               float* output, std::size_t maxOutput) {
    Step step;
    soxr_process(m_soxr, input, input ? inputFrames : 0, &step.used, output, maxOutput,
                 &step.produced);
    return step;
}

void StereoResampler::clear() {
    soxr_clear(m_soxr);
}

} // namespace cantorix::platform
