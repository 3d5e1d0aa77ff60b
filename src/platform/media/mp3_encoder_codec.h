#pragma once
// The codec that encodes 16-bit PCM into MPEG layer 3 with LAME: constant bit rate, the rate,
// channel count and bit rate of the destination record, bare frames with no tag frame and no
// ID3 tag, so the output is a plain MPEG stream. Owns the encoder; main thread.

#include "audio/codec_port.h"

#include <vector>

struct lame_global_struct;

namespace cantorix::platform {

class Mp3EncoderCodec : public audio::CodecStream {
public:
    // source: PCM, 16 bits; destination: MPEG layer 3 at the source's rate and channel count,
    // whose byte rate × 8 is a layer-3 bit rate of that rate's MPEG version.
    static bool supports(const audio::TdeWaveFormat& source,
                         const audio::TdeWaveFormat& destination);

    // Throws audio::ECodecDriverError when LAME refuses the parameters.
    Mp3EncoderCodec(const audio::TdeWaveFormat& source, const audio::TdeWaveFormat& destination);
    ~Mp3EncoderCodec() override;

    std::size_t outputSize(std::size_t inputBytes) const override;
    int convert(std::span<const std::uint8_t> input, unsigned flags,
                std::vector<std::uint8_t>& output, std::size_t& consumed) override;
    int reset() override;

private:
    void start();

    audio::TdeWaveFormat m_destination;
    lame_global_struct* m_lame = nullptr;
    bool m_fresh = true;
    bool m_flushed = false;
    std::vector<std::int16_t> m_left;
    std::vector<std::int16_t> m_right;
};

} // namespace cantorix::platform
