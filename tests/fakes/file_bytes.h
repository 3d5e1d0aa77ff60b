#pragma once
// Whole files as bytes, for tests that write a file and read back what the game made of it.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::testing {

// The file's bytes; empty when it cannot be opened.
inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A RIFF WAVE file of 16-bit mono PCM: what the game's WAV microphone reads.
// A 16-bit PCM WAV of interleaved samples in `channels` channels.
inline void writePcmWav(const std::filesystem::path& file, const std::vector<std::int16_t>& samples,
                        std::uint32_t channels, std::uint32_t rate = 44100) {
    std::ofstream out(file, std::ios::binary);
    const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
    const std::uint32_t frameBytes = 2 * channels;
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    // Format size, PCM + channels, rate, bytes a second, frame bytes + 16 bits.
    for (std::uint32_t v :
         {16u, 1u | channels << 16, rate, rate * frameBytes, frameBytes | 16u << 16})
        u32(v);
    out.write("data", 4);
    u32(bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

inline void writeMonoWav(const std::filesystem::path& file,
                         const std::vector<std::int16_t>& samples, std::uint32_t rate = 44100) {
    writePcmWav(file, samples, 1, rate);
}

// Two voices as the left and right channels of one file; the shorter one ends in silence.
inline void writeStereoWav(const std::filesystem::path& file, const std::vector<std::int16_t>& left,
                           const std::vector<std::int16_t>& right) {
    std::vector<std::int16_t> frames(2 * std::max(left.size(), right.size()), 0);
    for (std::size_t i = 0; i < left.size(); ++i)
        frames[2 * i] = left[i];
    for (std::size_t i = 0; i < right.size(); ++i)
        frames[2 * i + 1] = right[i];
    writePcmWav(file, frames, 2);
}

} // namespace cantorix::testing
