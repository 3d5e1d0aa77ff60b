#include "mp3_encoder_codec.h"

#include "codec_formats.h"

#include <algorithm>
#include <lame/lame.h>
#include <string>

namespace cantorix::platform {

using audio::ECodecDriverError;
using audio::TdeWaveFormat;

namespace {

bool isLayer3BitRate(std::uint32_t rate, std::uint32_t kbps) {
    static constexpr std::uint32_t kMpeg1[] = {32,  40,  48,  56,  64,  80,  96,
                                               112, 128, 160, 192, 224, 256, 320};
    static constexpr std::uint32_t kMpeg2[] = {8,  16, 24, 32,  40,  48,  56,
                                               64, 80, 96, 112, 128, 144, 160};
    const auto& table = rate >= 32000 ? kMpeg1 : kMpeg2;
    for (std::uint32_t value : table)
        if (value == kbps)
            return true;
    return false;
}

// LAME's own worst case for a call: 1.25 × samples + 7200 bytes.
std::size_t encodeBound(std::size_t samples) {
    return samples + samples / 4 + 7200;
}

} // namespace

bool Mp3EncoderCodec::supports(const TdeWaveFormat& source, const TdeWaveFormat& destination) {
    return isValidPcm(source) && source.bitsPerSample() == 16 &&
           destination.formatTag() == TdeWaveFormat::kTagMpegLayer3 &&
           destination.samplesPerSec() == source.samplesPerSec() &&
           destination.channels() == source.channels() && isMpegRate(destination.samplesPerSec()) &&
           destination.avgBytesPerSec() % 125 == 0 &&
           isLayer3BitRate(destination.samplesPerSec(), destination.avgBytesPerSec() / 125);
}

Mp3EncoderCodec::Mp3EncoderCodec(const TdeWaveFormat&, const TdeWaveFormat& destination)
    : m_destination(destination) {
    start();
}

Mp3EncoderCodec::~Mp3EncoderCodec() {
    if (m_lame)
        lame_close(m_lame);
}

void Mp3EncoderCodec::start() {
    if (m_lame)
        lame_close(m_lame);
    m_lame = lame_init();
    if (!m_lame)
        throw ECodecDriverError("The MP3 encoder cannot start.");
    const int rate = static_cast<int>(m_destination.samplesPerSec());
    lame_set_in_samplerate(m_lame, rate);
    lame_set_out_samplerate(m_lame, rate);
    lame_set_num_channels(m_lame, m_destination.channels());
    lame_set_mode(m_lame, m_destination.channels() == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(m_lame, vbr_off);
    lame_set_brate(m_lame, static_cast<int>(m_destination.avgBytesPerSec() / 125));
    // Bare frames: no tag frame at the start, no ID3 tag at the end.
    lame_set_bWriteVbrTag(m_lame, 0);
    lame_set_write_id3tag_automatic(m_lame, 0);
    lame_set_quality(m_lame, 5);
    if (lame_init_params(m_lame) < 0)
        throw ECodecDriverError("The MP3 encoder refuses the format.");
    m_fresh = true;
    m_flushed = false;
}

std::size_t Mp3EncoderCodec::outputSize(std::size_t inputBytes) const {
    const std::size_t frames = inputBytes / (2u * m_destination.channels());
    return frames == 0 ? 0 : encodeBound(frames);
}

int Mp3EncoderCodec::convert(std::span<const std::uint8_t> input, unsigned flags,
                             std::vector<std::uint8_t>& output, std::size_t& consumed) {
    if (((flags & audio::kConvertStart) != 0 && !m_fresh) || m_flushed)
        start();
    m_fresh = false;
    const std::size_t channels = m_destination.channels();
    const std::size_t frames = input.size() / (2 * channels);
    consumed = frames * 2 * channels;
    m_left.resize(frames);
    m_right.resize(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        auto sample = [&](std::size_t c) {
            const std::size_t at = 2 * (f * channels + c);
            return static_cast<std::int16_t>(input[at] | input[at + 1] << 8);
        };
        m_left[f] = sample(0);
        m_right[f] = channels == 2 ? sample(1) : m_left[f];
    }
    const std::size_t at = output.size();
    output.resize(at + encodeBound(frames));
    int written = frames == 0 ? 0
                              : lame_encode_buffer(m_lame, m_left.data(), m_right.data(),
                                                   static_cast<int>(frames), output.data() + at,
                                                   static_cast<int>(output.size() - at));
    if (written < 0) {
        output.resize(at);
        throw ECodecDriverError("The MP3 encoder failed (code " + std::to_string(written) + ").");
    }
    output.resize(at + static_cast<std::size_t>(written));
    if ((flags & audio::kConvertEnd) != 0) {
        const std::size_t tail = output.size();
        output.resize(tail + 7200);
        written = lame_encode_flush(m_lame, output.data() + tail, 7200);
        output.resize(tail + static_cast<std::size_t>(std::max(written, 0)));
        m_flushed = true;
    }
    return audio::codec_result::kOk;
}

int Mp3EncoderCodec::reset() {
    if (!m_fresh)
        start();
    return audio::codec_result::kOk;
}

} // namespace cantorix::platform
