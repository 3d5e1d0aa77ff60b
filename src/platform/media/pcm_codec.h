#pragma once
// The codec that converts PCM to PCM: the sample rate through libsoxr (its filter state
// carrying across blocks), the channel count (mono doubled, stereo averaged) and 8 or 16 bits
// of our own. Owns the resampler; main thread.

#include "audio/codec_port.h"

#include <cstdint>
#include <vector>

struct soxr;

namespace cantorix::platform {

class PcmCodec : public audio::CodecStream {
public:
    // Both valid PCM (codec_formats.h).
    static bool supports(const audio::TdeWaveFormat& source,
                         const audio::TdeWaveFormat& destination);

    // Throws audio::ECodecDriverError when the resampler cannot be made.
    PcmCodec(const audio::TdeWaveFormat& source, const audio::TdeWaveFormat& destination);
    ~PcmCodec() override;

    std::size_t outputSize(std::size_t inputBytes) const override;
    int convert(std::span<const std::uint8_t> input, unsigned flags,
                std::vector<std::uint8_t>& output, std::size_t& consumed) override;
    int reset() override;

private:
    void toInt16(std::span<const std::uint8_t> input, std::size_t frames);
    void resample(bool drain);
    void append(const std::int16_t* samples, std::size_t count,
                std::vector<std::uint8_t>& output) const;

    audio::TdeWaveFormat m_source;
    audio::TdeWaveFormat m_destination;
    soxr* m_soxr = nullptr; // none when the rates are equal
    bool m_fresh = true;
    std::vector<std::int16_t> m_samples;   // in the destination's channel count
    std::vector<std::int16_t> m_resampled; // after the rate change
};

} // namespace cantorix::platform
