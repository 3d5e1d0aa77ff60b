#pragma once
// The 18-byte PCM wave format record shared by the capture stream, the recorder and their
// devices, and the rounding multiply-divide used for every byte count derived from it.
// Plain values, any thread.

#include <array>
#include <cstdint>
#include <limits>

namespace cantorix::base {

// a × b / c rounded to the nearest integer, halves away from zero, with a 64-bit intermediate;
// −1 when c is 0 or the result does not fit in 32 bits.
inline std::int32_t mulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const std::uint64_t num =
        product < 0 ? 0 - static_cast<std::uint64_t>(product) : static_cast<std::uint64_t>(product);
    const std::uint64_t den = c < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(c))
                                    : static_cast<std::uint64_t>(c);
    const std::uint64_t magnitude = (num + den / 2) / den;
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return -1;
    const auto result = static_cast<std::int32_t>(magnitude);
    return negative ? -result : result;
}

struct TWaveFormat {
    static constexpr std::uint16_t kPcm = 1;
    static constexpr std::int32_t kRecordSize = 18;

    std::uint16_t formatTag = kPcm;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;

    friend bool operator==(const TWaveFormat&, const TWaveFormat&) = default;

    // The record as the platform lays it out: little-endian, no padding.
    std::array<std::uint8_t, kRecordSize> toBytes() const {
        std::array<std::uint8_t, kRecordSize> b{};
        auto put = [&b](int at, std::uint32_t v, int width) {
            for (int i = 0; i < width; ++i)
                b[static_cast<std::size_t>(at + i)] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        put(0, formatTag, 2);
        put(2, channels, 2);
        put(4, samplesPerSec, 4);
        put(8, avgBytesPerSec, 4);
        put(12, blockAlign, 2);
        put(14, bitsPerSample, 2);
        put(16, extraSize, 2);
        return b;
    }
};

// Block align = channels × (bits div 8); average bytes per second = rate × block align.
inline TWaveFormat makePcmFormat(std::uint32_t samplesPerSec, std::uint16_t bitsPerSample,
                                 std::uint16_t channels) {
    TWaveFormat f;
    f.channels = channels;
    f.samplesPerSec = samplesPerSec;
    f.bitsPerSample = bitsPerSample;
    f.blockAlign = static_cast<std::uint16_t>(channels * (bitsPerSample / 8));
    f.avgBytesPerSec = samplesPerSec * f.blockAlign;
    return f;
}

} // namespace cantorix::base
