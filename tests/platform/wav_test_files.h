#pragma once
// Builds WAV files in memory for the reader and input tests: a RIFF header, a format chunk
// and any further chunks, little-endian as on disk.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace cantorix::platform::testing {

using Bytes = std::vector<std::uint8_t>;

inline void putLe(Bytes& b, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline Bytes chunk(const std::string& id, const Bytes& body) {
    Bytes b(id.begin(), id.end());
    putLe(b, static_cast<std::uint32_t>(body.size()), 4);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2)
        b.push_back(0);
    return b;
}

inline Bytes fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                     std::uint16_t bits) {
    Bytes b;
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    putLe(b, tag, 2);
    putLe(b, channels, 2);
    putLe(b, rate, 4);
    putLe(b, rate * align, 4);
    putLe(b, align, 2);
    putLe(b, bits, 2);
    return b;
}

inline Bytes riff(const std::vector<Bytes>& chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b = {'R', 'I', 'F', 'F'};
    putLe(b, static_cast<std::uint32_t>(body.size()), 4);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

inline Bytes wav(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                 const Bytes& samples) {
    return riff({chunk("fmt ", fmtBody(tag, channels, rate, bits)), chunk("data", samples)});
}

// 16-bit stereo: left = amplitude · sin, right = rightSign · left.
inline Bytes stereoSine(std::uint32_t rate, double hz, double seconds, double amplitude,
                        int rightSign) {
    Bytes samples;
    const auto frames = static_cast<int>(rate * seconds);
    for (int i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * M_PI * hz * i / rate);
        const auto left = static_cast<std::int16_t>(std::lround(v * 32767));
        putLe(samples, static_cast<std::uint16_t>(left), 2);
        putLe(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(rightSign * left)), 2);
    }
    return wav(1, 2, rate, 16, samples);
}

} // namespace cantorix::platform::testing
