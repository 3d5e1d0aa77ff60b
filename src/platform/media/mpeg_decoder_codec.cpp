#include "mpeg_decoder_codec.h"

#include "codec_formats.h"

#include <mpg123.h>
#include <string>

namespace cantorix::platform {

using audio::ECodecDriverError;
using audio::TdeWaveFormat;

bool MpegDecoderCodec::supports(const TdeWaveFormat& source, const TdeWaveFormat& destination) {
    return isValidMpeg(source) && isValidPcm(destination) && destination.bitsPerSample() == 16 &&
           destination.samplesPerSec() == source.samplesPerSec() &&
           destination.channels() == source.channels();
}

MpegDecoderCodec::MpegDecoderCodec(const TdeWaveFormat& source, const TdeWaveFormat& destination)
    : m_rate(destination.samplesPerSec()), m_channels(destination.channels()),
      m_inputBytesPerSec(source.avgBytesPerSec()) {
    start();
}

MpegDecoderCodec::~MpegDecoderCodec() {
    if (m_handle)
        mpg123_delete(m_handle);
}

void MpegDecoderCodec::start() {
    if (m_handle)
        mpg123_delete(m_handle);
    int error = MPG123_OK;
    m_handle = mpg123_new(nullptr, &error);
    if (!m_handle)
        throw ECodecDriverError(std::string("The MPEG decoder cannot start: ") +
                                mpg123_plain_strerror(error));
    // The record promises a channel count; a stream that has the other one is made to fit.
    mpg123_param(m_handle, MPG123_ADD_FLAGS,
                 MPG123_QUIET | (m_channels == 1 ? MPG123_FORCE_MONO : MPG123_FORCE_STEREO), 0);
    mpg123_format_none(m_handle);
    mpg123_format(m_handle, m_rate, m_channels == 1 ? MPG123_MONO : MPG123_STEREO,
                  MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(m_handle) != MPG123_OK)
        throw ECodecDriverError(std::string("The MPEG decoder cannot start: ") +
                                mpg123_strerror(m_handle));
    m_fresh = true;
}

std::size_t MpegDecoderCodec::outputSize(std::size_t inputBytes) const {
    if (inputBytes == 0)
        return 0;
    // The stated byte rate gives the length; a frame more covers what the decoder holds.
    const std::uint64_t pcmPerSec = std::uint64_t(m_rate) * m_channels * 2;
    return static_cast<std::size_t>(inputBytes * pcmPerSec / m_inputBytesPerSec + 1152 * 2 * 2);
}

int MpegDecoderCodec::convert(std::span<const std::uint8_t> input, unsigned flags,
                              std::vector<std::uint8_t>& output, std::size_t& consumed) {
    if ((flags & audio::kConvertStart) != 0 && !m_fresh)
        start();
    m_fresh = false;
    consumed = input.size();
    if (!input.empty() && mpg123_feed(m_handle, input.data(), input.size()) != MPG123_OK)
        throw ECodecDriverError(std::string("The MPEG data cannot be decoded: ") +
                                mpg123_strerror(m_handle));
    constexpr std::size_t kPiece = 1152 * 2 * 2 * 4;
    for (;;) {
        const std::size_t at = output.size();
        output.resize(at + kPiece);
        std::size_t done = 0;
        const int result = mpg123_read(m_handle, output.data() + at, kPiece, &done);
        output.resize(at + done);
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(m_handle, &rate, &channels, &encoding);
            if (rate != m_rate || channels != m_channels || encoding != MPG123_ENC_SIGNED_16)
                throw ECodecDriverError(
                    "The MPEG data does not have the sample rate of its header.");
            continue;
        }
        if (result == MPG123_OK && done > 0)
            continue;
        if (result == MPG123_OK)
            return audio::codec_result::kOk;
        if (result == MPG123_NEED_MORE || result == MPG123_DONE)
            return audio::codec_result::kOk;
        throw ECodecDriverError(std::string("The MPEG data cannot be decoded: ") +
                                mpg123_strerror(m_handle));
    }
}

int MpegDecoderCodec::reset() {
    if (!m_fresh)
        start();
    return audio::codec_result::kOk;
}

} // namespace cantorix::platform
