#include "codec_manager.h"

#include "codec_formats.h"
#include "mp3_encoder_codec.h"
#include "mpeg_decoder_codec.h"
#include "pcm_codec.h"

#include <algorithm>

namespace cantorix::platform {

using audio::TdeWaveFormat;
namespace codec_result = audio::codec_result;

// Every codec here runs far faster than real time, so the real-time request changes nothing.
int CodecManager::query(const TdeWaveFormat& source, const TdeWaveFormat& destination, bool) const {
    if (PcmCodec::supports(source, destination) ||
        MpegDecoderCodec::supports(source, destination) ||
        Mp3EncoderCodec::supports(source, destination))
        return codec_result::kOk;
    return codec_result::kNotPossible;
}

int CodecManager::suggestPcm(const TdeWaveFormat& source, TdeWaveFormat& pcm) const {
    if (!isValidPcm(source) && !isValidMpeg(source))
        return codec_result::kNotPossible;
    const std::uint16_t bits = source.isPcm() && source.bitsPerSample() == 8 ? 8 : 16;
    const TdeWaveFormat suggested =
        audio::makePcmWaveFormat(source.samplesPerSec(), bits, source.channels());
    std::copy_n(suggested.buffer().begin(), TdeWaveFormat::kRecordSize, pcm.buffer().begin());
    return codec_result::kOk;
}

int CodecManager::open(const TdeWaveFormat& source, const TdeWaveFormat& destination, bool,
                       std::unique_ptr<audio::CodecStream>& stream) {
    if (PcmCodec::supports(source, destination))
        stream = std::make_unique<PcmCodec>(source, destination);
    else if (MpegDecoderCodec::supports(source, destination))
        stream = std::make_unique<MpegDecoderCodec>(source, destination);
    else if (Mp3EncoderCodec::supports(source, destination))
        stream = std::make_unique<Mp3EncoderCodec>(source, destination);
    else
        return codec_result::kNotPossible;
    return codec_result::kOk;
}

} // namespace cantorix::platform
