#include "mini_convertor.h"

#include <algorithm>
#include <cfenv>
#include <cstring>

namespace cantorix::audio {

TMiniConvertor::TMiniConvertor(CodecPort& codecs, const TdeWaveFormat& source,
                               const TdeWaveFormat& destination)
    : m_codecs(codecs), m_source(source), m_destination(destination) {}

TMiniConvertor::~TMiniConvertor() = default;

void TMiniConvertor::open(bool realTime) {
    if (active())
        throw EAudioCodecError(kWhileActive);
    std::unique_ptr<CodecStream> codec;
    checkCodecResult<EConversionError>(m_codecs.open(m_source, m_destination, realTime, codec));
    if (!codec)
        throw EConversionError(codecErrorMessage(codec_result::kNotPossible));
    m_codec = std::move(codec);
    reset();
}

void TMiniConvertor::close() {
    if (!active())
        throw EAudioCodecError(kWhileNotActive);
    m_prepared = false;
    m_input = {};
    m_fill = 0;
    m_output = {};
    m_codec.reset();
}

void TMiniConvertor::reset() {
    m_prepared = false;
    m_input = {};
    m_fill = 0;
    m_output = {};
    if (m_codec)
        checkCodecResult<ECodecDriverError>(m_codec->reset());
}

void TMiniConvertor::append(std::span<const std::uint8_t> data) {
    if (m_fill + data.size() > m_input.size()) {
        // The buffer is sized from the first block; a later block can still be larger (a
        // variable bit rate stream, a decoder catching up), so it grows, within a limit.
        const std::size_t wanted = 2 * m_fill + 2 * data.size();
        if (wanted > kMaxBufferBytes)
            throw EConversionError(kAudioTooLarge);
        m_input.resize(wanted);
    }
    if (!data.empty())
        std::memcpy(m_input.data() + m_fill, data.data(), data.size());
    m_fill += data.size();
}

void TMiniConvertor::prepare() {
    const std::size_t capacity = std::max(m_input.size(), 3 * m_fill);
    if (capacity > kMaxBufferBytes)
        throw EConversionError(kAudioTooLarge);
    m_input.resize(capacity);
    const std::size_t outputBytes = m_codec->outputSize(capacity);
    if (outputBytes > kMaxBufferBytes)
        throw EConversionError(kAudioTooLarge);
    m_output.reserve(outputBytes);
    m_prepared = true;
}

int TMiniConvertor::runCodec(unsigned flags, std::size_t& consumed) {
    const std::span<const std::uint8_t> input(m_input.data(), m_fill);
    if (!fpuMask)
        return m_codec->convert(input, flags, m_output, consumed);
    // Codecs may raise floating-point exceptions the program has masked; the environment
    // in force before the call comes back afterwards either way.
    std::fenv_t saved;
    std::feholdexcept(&saved);
    try {
        const int result = m_codec->convert(input, flags, m_output, consumed);
        std::fesetenv(&saved);
        return result;
    } catch (...) {
        std::fesetenv(&saved);
        throw;
    }
}

std::span<const std::uint8_t> TMiniConvertor::convert(std::span<const std::uint8_t> data,
                                                      unsigned flags) {
    if (!active())
        throw EAudioCodecError(kWhileNotActive);
    append(data);
    const bool end = (flags & kConvertEnd) != 0;
    if (!m_prepared) {
        if (m_codec->outputSize(m_fill) == 0 && !end)
            return {};
        prepare();
    }
    // The last block must reach the codec even when empty, so it gives out what it holds.
    if (m_codec->outputSize(m_fill) == 0 && !end)
        return {};
    m_output.clear();
    std::size_t consumed = 0;
    checkCodecResult<EConversionError>(runCodec(flags, consumed));
    consumed = std::min(consumed, m_fill);
    if (consumed > 0 && consumed < m_fill) // an empty buffer may have no storage at all
        std::memmove(m_input.data(), m_input.data() + consumed, m_fill - consumed);
    m_fill -= consumed;
    return m_output;
}

} // namespace cantorix::audio
