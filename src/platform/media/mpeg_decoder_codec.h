#pragma once
// The codec that decodes MPEG audio (layers I to III) into 16-bit PCM at the same rate and
// channel count, over libmpg123's feed interface: blocks of the stream go in as they come,
// whole frames come out. Owns the decoder handle; main thread.

#include "audio/codec_port.h"

struct mpg123_handle_struct;

namespace cantorix::platform {

class MpegDecoderCodec : public audio::CodecStream {
public:
    // source: valid MPEG (codec_formats.h); destination: PCM, 16 bits, same rate and channels.
    static bool supports(const audio::TdeWaveFormat& source,
                         const audio::TdeWaveFormat& destination);

    // Throws audio::ECodecDriverError when libmpg123 cannot start.
    MpegDecoderCodec(const audio::TdeWaveFormat& source, const audio::TdeWaveFormat& destination);
    ~MpegDecoderCodec() override;

    std::size_t outputSize(std::size_t inputBytes) const override;
    // Throws audio::ECodecDriverError for data the decoder cannot continue with.
    int convert(std::span<const std::uint8_t> input, unsigned flags,
                std::vector<std::uint8_t>& output, std::size_t& consumed) override;
    int reset() override;

private:
    void start();

    mpg123_handle_struct* m_handle = nullptr;
    long m_rate;
    int m_channels;
    std::uint32_t m_inputBytesPerSec;
    bool m_fresh = true;
};

} // namespace cantorix::platform
