#include "performance_mix.h"

#include <algorithm>

namespace cantorix::audio {

namespace {

// The samples of one input: little-endian 16-bit words, silence past the end.
class SampleReader {
public:
    explicit SampleReader(const MixInput& input) {
        const std::size_t offset = std::min(input.dataOffset, input.file.size());
        const std::size_t size = std::min(input.dataSize, input.file.size() - offset);
        m_data = input.file.subspan(offset, size);
    }
    std::size_t count() const { return m_data.size() / 2; }
    std::int16_t at(std::size_t k) const {
        if (k >= count())
            return 0;
        return static_cast<std::int16_t>(m_data[2 * k] | (m_data[2 * k + 1] << 8));
    }

private:
    std::span<const std::uint8_t> m_data;
};

} // namespace

std::vector<std::uint8_t> mixPerformance(const MixInput& song, const MixInput& voice) {
    const bool voiceIsLonger = voice.file.size() >= song.file.size();
    const MixInput& longer = voiceIsLonger ? voice : song;
    std::vector<std::uint8_t> out(longer.file.begin(), longer.file.end());
    const SampleReader songSamples(song), voiceSamples(voice), target(longer);
    const std::size_t start = std::min(longer.dataOffset, out.size());
    for (std::size_t k = 0; k < target.count(); ++k) {
        const auto mixed =
            static_cast<std::uint16_t>(mixSample(songSamples.at(k), voiceSamples.at(k)));
        out[start + 2 * k] = static_cast<std::uint8_t>(mixed & 0xFF);
        out[start + 2 * k + 1] = static_cast<std::uint8_t>(mixed >> 8);
    }
    return out;
}

} // namespace cantorix::audio
