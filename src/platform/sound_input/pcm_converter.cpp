#include "pcm_converter.h"

#include "capture_hub.h"

#include <stdexcept>

namespace cantorix::platform {

namespace {

const base::TWaveFormat& checked(const base::TWaveFormat& target) {
    if (!PcmConverter::supports(target))
        throw std::invalid_argument("unsupported capture format");
    return target;
}

} // namespace

bool PcmConverter::supports(const base::TWaveFormat& f) {
    const bool bitsOk = f.bitsPerSample == 8 || f.bitsPerSample == 16;
    const bool channelsOk = f.channels == 1 || f.channels == 2;
    const bool rateOk = f.samplesPerSec >= 1000 && f.samplesPerSec <= 384000;
    return f.formatTag == base::TWaveFormat::kPcm && bitsOk && channelsOk && rateOk &&
           f.blockAlign == f.channels * f.bitsPerSample / 8 &&
           f.avgBytesPerSec == f.samplesPerSec * f.blockAlign;
}

PcmConverter::PcmConverter(const base::TWaveFormat& target)
    : m_target(checked(target)),
      m_resampler(CaptureHub::kSampleRate, target.samplesPerSec, MonoResampler::Input::Int16) {}

void PcmConverter::convert(const std::int16_t* frames, std::size_t count,
                           std::vector<std::uint8_t>& out) {
    m_resampled.clear();
    m_resampler.process(frames, count, m_resampled);
    out.reserve(out.size() + m_resampled.size() * m_target.blockAlign);
    for (const std::int16_t sample : m_resampled) {
        for (int channel = 0; channel < m_target.channels; ++channel) {
            if (m_target.bitsPerSample == 8) {
                // Unsigned 8-bit keeps the top byte of the sample around its midpoint 128.
                out.push_back(static_cast<std::uint8_t>((sample >> 8) + 128));
            } else {
                const auto bits = static_cast<std::uint16_t>(sample);
                out.push_back(static_cast<std::uint8_t>(bits & 0xff));
                out.push_back(static_cast<std::uint8_t>(bits >> 8));
            }
        }
    }
}

} // namespace cantorix::platform
