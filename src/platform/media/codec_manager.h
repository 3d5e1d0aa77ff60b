#pragma once
// The codec manager behind the conversion chain: answers which conversions exist among the
// MPEG decoder, the PCM converter and the MP3 encoder, suggests the PCM format to go through,
// and opens them. Holds no state; main thread.

#include "audio/codec_port.h"

namespace cantorix::platform {

class CodecManager : public audio::CodecPort {
public:
    int query(const audio::TdeWaveFormat& source, const audio::TdeWaveFormat& destination,
              bool realTime) const override;
    // PCM at the source's rate and channel count; 16 bits unless the source is 8-bit PCM.
    int suggestPcm(const audio::TdeWaveFormat& source, audio::TdeWaveFormat& pcm) const override;
    int open(const audio::TdeWaveFormat& source, const audio::TdeWaveFormat& destination,
             bool realTime, std::unique_ptr<audio::CodecStream>& stream) override;
};

} // namespace cantorix::platform
