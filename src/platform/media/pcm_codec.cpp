#include "pcm_codec.h"

#include "codec_formats.h"

#include <soxr.h>
#include <string>

namespace cantorix::platform {

using audio::ECodecDriverError;
using audio::TdeWaveFormat;

bool PcmCodec::supports(const TdeWaveFormat& source, const TdeWaveFormat& destination) {
    return isValidPcm(source) && isValidPcm(destination);
}

PcmCodec::PcmCodec(const TdeWaveFormat& source, const TdeWaveFormat& destination)
    : m_source(source), m_destination(destination) {
    if (source.samplesPerSec() == destination.samplesPerSec())
        return;
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    // The same input gives the same output: exports can be compared byte for byte.
    io.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    m_soxr = soxr_create(source.samplesPerSec(), destination.samplesPerSec(),
                         destination.channels(), &error, &io, &quality, nullptr);
    if (error || !m_soxr)
        throw ECodecDriverError(std::string("The sample rate cannot be converted: ") +
                                (error ? error : "no resampler"));
}

PcmCodec::~PcmCodec() {
    if (m_soxr)
        soxr_delete(m_soxr);
}

std::size_t PcmCodec::outputSize(std::size_t inputBytes) const {
    const std::size_t frames = inputBytes / m_source.blockAlign();
    if (frames == 0)
        return 0;
    const std::uint64_t out =
        std::uint64_t(frames) * m_destination.samplesPerSec() / m_source.samplesPerSec() + 256;
    return static_cast<std::size_t>(out * m_destination.blockAlign());
}

void PcmCodec::toInt16(std::span<const std::uint8_t> input, std::size_t frames) {
    const int inChannels = m_source.channels();
    const int outChannels = m_destination.channels();
    const bool eightBit = m_source.bitsPerSample() == 8;
    auto sample = [&](std::size_t frame, int channel) -> int {
        const std::size_t index = frame * inChannels + channel;
        if (eightBit)
            return (input[index] - 128) * 256;
        return static_cast<std::int16_t>(input[2 * index] | input[2 * index + 1] << 8);
    };
    m_samples.resize(frames * outChannels);
    for (std::size_t f = 0; f < frames; ++f) {
        if (inChannels == outChannels) {
            for (int c = 0; c < outChannels; ++c)
                m_samples[f * outChannels + c] = static_cast<std::int16_t>(sample(f, c));
        } else if (outChannels == 2) {
            m_samples[2 * f] = m_samples[2 * f + 1] = static_cast<std::int16_t>(sample(f, 0));
        } else {
            // floor((l + r) / 2) stays within 16 bits.
            m_samples[f] = static_cast<std::int16_t>((sample(f, 0) + sample(f, 1)) >> 1);
        }
    }
}

void PcmCodec::resample(bool drain) {
    m_resampled.clear();
    const std::size_t channels = m_destination.channels();
    const std::size_t inFrames = m_samples.size() / channels;
    const double ratio = double(m_destination.samplesPerSec()) / m_source.samplesPerSec();
    std::size_t taken = 0;
    for (;;) {
        const std::size_t room = static_cast<std::size_t>((inFrames - taken) * ratio) + 1024;
        const std::size_t at = m_resampled.size();
        m_resampled.resize(at + room * channels);
        std::size_t used = 0, produced = 0;
        const bool input = taken < inFrames;
        const soxr_error_t error = soxr_process(
            m_soxr, input ? m_samples.data() + taken * channels : nullptr,
            input ? inFrames - taken : 0, &used, m_resampled.data() + at, room, &produced);
        m_resampled.resize(at + produced * channels);
        if (error)
            throw ECodecDriverError(std::string("The sample rate cannot be converted: ") + error);
        taken += used;
        if (input && used == 0 && produced == 0)
            throw ECodecDriverError("The sample rate converter makes no progress.");
        if (taken < inFrames)
            continue;
        // With all input in, a drain call that gives nothing means the filter is empty.
        if (!drain || (!input && produced == 0))
            return;
    }
}

void PcmCodec::append(const std::int16_t* samples, std::size_t count,
                      std::vector<std::uint8_t>& output) const {
    const std::size_t at = output.size();
    if (m_destination.bitsPerSample() == 8) {
        output.resize(at + count);
        for (std::size_t i = 0; i < count; ++i)
            output[at + i] = static_cast<std::uint8_t>((samples[i] >> 8) + 128);
        return;
    }
    output.resize(at + 2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        output[at + 2 * i] = static_cast<std::uint8_t>(samples[i]);
        output[at + 2 * i + 1] =
            static_cast<std::uint8_t>(static_cast<std::uint16_t>(samples[i]) >> 8);
    }
}

int PcmCodec::convert(std::span<const std::uint8_t> input, unsigned flags,
                      std::vector<std::uint8_t>& output, std::size_t& consumed) {
    if ((flags & audio::kConvertStart) != 0 && !m_fresh)
        reset();
    m_fresh = false;
    // Whole frames only; a partial one waits for the rest.
    const std::size_t frames = input.size() / m_source.blockAlign();
    consumed = frames * m_source.blockAlign();
    toInt16(input, frames);
    if (!m_soxr) {
        append(m_samples.data(), m_samples.size(), output);
        return audio::codec_result::kOk;
    }
    resample((flags & audio::kConvertEnd) != 0);
    append(m_resampled.data(), m_resampled.size(), output);
    return audio::codec_result::kOk;
}

int PcmCodec::reset() {
    if (m_soxr)
        soxr_clear(m_soxr);
    m_fresh = true;
    return audio::codec_result::kOk;
}

} // namespace cantorix::platform
