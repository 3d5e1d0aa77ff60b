#include "pcm_format.h"

#include <array>

namespace cantorix::audio {

std::optional<base::TWaveFormat> pcmFormatRecord(TPCMFormat format) {
    const int n = static_cast<int>(format);
    if (n < 1 || n > static_cast<int>(TPCMFormat::Stereo16bit48000Hz))
        return std::nullopt;
    static constexpr std::array<std::uint32_t, 5> kRates{8000, 11025, 22050, 44100, 48000};
    base::TWaveFormat record;
    record.samplesPerSec = kRates[static_cast<std::size_t>((n - 1) / 4)];
    record.bitsPerSample = ((n - 1) / 2) % 2 == 0 ? 8 : 16;
    record.channels = n % 2 == 1 ? 1 : 2;
    record.blockAlign =
        static_cast<std::uint16_t>(base::mulDiv(record.channels, record.bitsPerSample, 8));
    record.avgBytesPerSec = record.blockAlign * record.samplesPerSec;
    record.extraSize = 0;
    return record;
}

std::int32_t bufferBytes(const base::TWaveFormat& format, std::uint16_t bufferLengthMs) {
    const std::int32_t bytes =
        base::mulDiv(bufferLengthMs, static_cast<std::int32_t>(format.avgBytesPerSec), 1000);
    const std::int32_t block = format.blockAlign == 0 ? 1 : format.blockAlign;
    return (bytes + block - 1) / block * block;
}

} // namespace cantorix::audio
