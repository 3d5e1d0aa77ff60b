#include "codec_manager.h"

#include "codec_formats.h"
#include "mp3_encoder_codec.h"
#include "mpeg_decoder_codec.h"
#include "pcm_codec.h"

#include <algorithm>

namespace cantorix::platform {

using audio::TdeWaveFormat;
namespace acm = audio::acm;

// Every codec here runs far faster than real time, so the real-time request changes nothing.
int CodecManager::query(const TdeWaveFormat& source, const TdeWaveFormat& destination, bool) const {
    if (PcmCodec::supports(source, destination) ||
        MpegDecoderCodec::supports(source, destination) ||
        Mp3EncoderCodec::supports(source, destination))
        return acm::kOk;
    return acm::kNotPossible;
}

int CodecManager::suggestPcm(const TdeWaveFormat& source, TdeWaveFormat& pcm) const {
    if (!isValidPcm(source) && !isValidMpeg(source))
        return acm::kNotPossible;
    const std::uint16_t bits = source.isPcm() && source.bitsPerSample() == 8 ? 8 : 16;
    const TdeWaveFormat suggested =
        audio::makePcmWaveFormat(source.samplesPerSec(), bits, source.channels());
    std::copy_n(suggested.buffer().begin(), TdeWaveFormat::kRecordSize, pcm.buffer().begin());
    return acm::kOk;
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
        return acm::kNotPossible;
    return acm::kOk;
}

} // namespace cantorix::platform
