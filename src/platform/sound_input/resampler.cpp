#include "resampler.h"

#include <algorithm>
#include <cmath>
#include <soxr.h>
#include <stdexcept>
#include <string>

namespace cantorix::platform {

namespace {

std::int16_t floatToInt16(float value) {
    const float scaled = std::round(std::clamp(value, -1.0f, 1.0f) * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

} // namespace

MonoResampler::MonoResampler(double inputRate, double outputRate, Input input)
    : m_ratio(outputRate / inputRate), m_input(input) {
    if (!(inputRate > 0) || !(outputRate > 0))
        throw std::runtime_error("invalid sample rates for conversion");
    if (inputRate == outputRate)
        return;
    const soxr_io_spec_t io =
        soxr_io_spec(input == Input::Int16 ? SOXR_INT16_I : SOXR_FLOAT32_I, SOXR_INT16_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    m_soxr = soxr_create(inputRate, outputRate, 1, &error, &io, &quality, nullptr);
    if (error || !m_soxr)
        throw std::runtime_error(std::string("cannot convert the sample rate: ") +
                                 soxr_strerror(error));
}

MonoResampler::~MonoResampler() {
    if (m_soxr)
        soxr_delete(m_soxr);
}

void MonoResampler::passThrough(const void* samples, std::size_t count,
                                std::vector<std::int16_t>& out) const {
    if (m_input == Input::Int16) {
        const auto* in = static_cast<const std::int16_t*>(samples);
        out.insert(out.end(), in, in + count);
        return;
    }
    const auto* in = static_cast<const float*>(samples);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(floatToInt16(in[i]));
}

void MonoResampler::process(const void* samples, std::size_t count,
                            std::vector<std::int16_t>& out) {
    if (!m_soxr) {
        passThrough(samples, count, out);
        return;
    }
    const std::size_t sampleBytes = m_input == Input::Int16 ? 2 : 4;
    const auto* in = static_cast<const std::uint8_t*>(samples);
    std::size_t consumed = 0;
    while (consumed < count) {
        const auto room =
            static_cast<std::size_t>(std::ceil(static_cast<double>(count - consumed) * m_ratio)) +
            256;
        const std::size_t before = out.size();
        out.resize(before + room);
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(m_soxr, in + consumed * sampleBytes, count - consumed, &used,
                         out.data() + before, room, &made);
        out.resize(before + made);
        if (error)
            throw std::runtime_error(std::string("sample rate conversion failed: ") + error);
        if (used == 0 && made == 0)
            break;
        consumed += used;
    }
}

void MonoResampler::flush(std::vector<std::int16_t>& out) {
    if (!m_soxr)
        return;
    constexpr std::size_t kRoom = 4096;
    for (;;) {
        const std::size_t before = out.size();
        out.resize(before + kRoom);
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(m_soxr, nullptr, 0, &used, out.data() + before, kRoom, &made);
        out.resize(before + made);
        if (error)
            throw std::runtime_error(std::string("sample rate conversion failed: ") + error);
        if (made == 0)
            return;
    }
}

} // namespace cantorix::platform
