#pragma once
// The mix of the export: the decoded song and the recorded voice, both signed 16-bit PCM in the
// same rate and channel layout, added at 0.6 each into a copy of the longer file. Pure bytes in,
// bytes out; any thread.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace cantorix::audio {

// One RIFF WAVE file in memory and where its sample data lies.
struct MixInput {
    std::span<const std::uint8_t> file;
    std::size_t dataOffset = 0; // first byte after the file's own header
    std::size_t dataSize = 0;   // bytes of samples from dataOffset, clipped to the file
};

// Trunc(0.6 × sample): six tenths rounded toward zero, exact in integers.
constexpr int sixTenths(std::int16_t sample) {
    return sample * 6 / 10;
}

// Both scaled samples added; a sum beyond the 16-bit range is clipped to it.
constexpr std::int16_t mixSample(std::int16_t song, std::int16_t voice) {
    const int sum = sixTenths(song) + sixTenths(voice);
    return static_cast<std::int16_t>(sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum);
}

// The longer input (by file size; the voice on a tie) copied whole, header and sizes included,
// with every 16-bit sample of its data replaced by the mix of the two inputs at that position.
// The shorter input is silence after its own data ends.
std::vector<std::uint8_t> mixPerformance(const MixInput& song, const MixInput& voice);

} // namespace cantorix::audio
