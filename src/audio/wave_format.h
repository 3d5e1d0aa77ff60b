#pragma once
// `TdeWaveFormat`: a 512-byte buffer whose start is the platform's wave format record (tag,
// channels, rate, byte rate, block align, bits, extra size, extra bytes), as every conversion
// of the audio layer takes it. Whole-buffer copy and equality. A plain value, any thread.

#include "codec_errors.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cantorix::audio {

class TdeWaveFormat {
public:
    static constexpr std::size_t kBufferSize = 512;
    static constexpr std::uint16_t kRecordSize = 18;    // the record without its extra bytes
    static constexpr std::uint16_t kMaxExtraSize = 494; // kBufferSize − kRecordSize
    static constexpr std::uint16_t kTagPcm = 1;
    static constexpr std::uint16_t kTagMpegLayer3 = 85;
    using Buffer = std::array<std::uint8_t, kBufferSize>;

    // Tag 1, 2 channels, 11025 Hz, 22050 bytes per second, block align 2, 8 bits, extra size 0.
    TdeWaveFormat() { resetDefaults(); }
    void resetDefaults() {
        m_buffer.fill(0);
        setFormatTag(kTagPcm);
        setChannels(2);
        setSamplesPerSec(11025);
        setAvgBytesPerSec(22050);
        setBlockAlign(2);
        setBitsPerSample(8);
    }

    std::uint16_t formatTag() const { return u16(0); }
    std::uint16_t channels() const { return u16(2); }
    std::uint32_t samplesPerSec() const { return u32(4); }
    std::uint32_t avgBytesPerSec() const { return u32(8); }
    std::uint16_t blockAlign() const { return u16(12); }
    std::uint16_t bitsPerSample() const { return u16(14); }
    // The stored value, but never above kMaxExtraSize.
    std::uint16_t extraSize() const { return u16(16) > kMaxExtraSize ? kMaxExtraSize : u16(16); }

    void setFormatTag(std::uint16_t value) { putU16(0, value); }
    void setChannels(std::uint16_t value) { putU16(2, value); }
    void setSamplesPerSec(std::uint32_t value) { putU32(4, value); }
    void setAvgBytesPerSec(std::uint32_t value) { putU32(8, value); }
    void setBlockAlign(std::uint16_t value) { putU16(12, value); }
    void setBitsPerSample(std::uint16_t value) { putU16(14, value); }
    // Throws EAudioCodecError "The wave format buffer is too small." above kMaxExtraSize.
    void setExtraSize(std::uint16_t value) {
        if (value > kMaxExtraSize)
            throw EAudioCodecError("The wave format buffer is too small.");
        putU16(16, value);
    }

    // The extra bytes after the record (extraSize() of them are meaningful).
    std::span<std::uint8_t, kMaxExtraSize> extra() {
        return std::span(m_buffer).subspan<kRecordSize>();
    }
    std::span<const std::uint8_t, kMaxExtraSize> extra() const {
        return std::span(m_buffer).subspan<kRecordSize>();
    }

    // The whole 512 bytes (`FormatBuffer`): configuring a format means assigning these.
    Buffer& buffer() { return m_buffer; }
    const Buffer& buffer() const { return m_buffer; }

    bool isPcm() const { return formatTag() == kTagPcm; }

    friend bool operator==(const TdeWaveFormat&, const TdeWaveFormat&) = default;

private:
    std::uint16_t u16(std::size_t at) const {
        return static_cast<std::uint16_t>(m_buffer[at] | m_buffer[at + 1] << 8);
    }
    std::uint32_t u32(std::size_t at) const {
        return std::uint32_t{u16(at)} | std::uint32_t{u16(at + 2)} << 16;
    }
    void putU16(std::size_t at, std::uint16_t value) {
        m_buffer[at] = static_cast<std::uint8_t>(value);
        m_buffer[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    void putU32(std::size_t at, std::uint32_t value) {
        putU16(at, static_cast<std::uint16_t>(value));
        putU16(at + 2, static_cast<std::uint16_t>(value >> 16));
    }

    Buffer m_buffer{};
};

// A PCM record: block align = channels × bits / 8, byte rate = rate × block align, extra 0;
// the rest of the buffer is zero.
inline TdeWaveFormat makePcmWaveFormat(std::uint32_t samplesPerSec, std::uint16_t bitsPerSample,
                                       std::uint16_t channels) {
    TdeWaveFormat f;
    f.setChannels(channels);
    f.setSamplesPerSec(samplesPerSec);
    f.setBitsPerSample(bitsPerSample);
    f.setBlockAlign(static_cast<std::uint16_t>(channels * (bitsPerSample / 8)));
    f.setAvgBytesPerSec(samplesPerSec * f.blockAlign());
    return f;
}

// An MPEG layer-3 record (tag 85, block align 1, 0 bits, extra size 12) with its extra fields:
// id 1, padding flags, block size, frames per block 1, codec delay. The export's encoder
// target is makeMpegLayer3WaveFormat(24000, 2, 7000, 2, 168, 1393).
inline TdeWaveFormat makeMpegLayer3WaveFormat(std::uint32_t samplesPerSec, std::uint16_t channels,
                                              std::uint32_t avgBytesPerSec,
                                              std::uint32_t paddingFlags, std::uint16_t blockSize,
                                              std::uint16_t codecDelay) {
    TdeWaveFormat f;
    f.setFormatTag(TdeWaveFormat::kTagMpegLayer3);
    f.setChannels(channels);
    f.setSamplesPerSec(samplesPerSec);
    f.setAvgBytesPerSec(avgBytesPerSec);
    f.setBlockAlign(1);
    f.setBitsPerSample(0);
    f.setExtraSize(12);
    const std::uint32_t fields[][2] = {
        {0, 1}, {2, paddingFlags}, {6, blockSize}, {8, 1}, {10, codecDelay}};
    auto extra = f.extra();
    for (const auto& [at, value] : fields)
        for (std::uint32_t i = 0; i < (at == 2 ? 4u : 2u); ++i)
            extra[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return f;
}

} // namespace cantorix::audio
