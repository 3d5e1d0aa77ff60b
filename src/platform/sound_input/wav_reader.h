#pragma once
// Reader of RIFF/WAVE sound files holding PCM samples: 8-, 16-, 24- and 32-bit integers or
// 32-bit floats, at any rate and channel count, with a plain or an extensible format chunk.
// Pure functions over the file's bytes; no device or codec library.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>

namespace cantorix::platform {

// A file that is not a WAV file this reader can use; the message says why.
class EWavError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WavInfo {
    enum class Encoding { Integer, Float };

    Encoding encoding = Encoding::Integer;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t blockAlign = 0;
    std::size_t dataOffset = 0; // of the first sample, from the start of the file
    std::size_t frameCount = 0; // whole frames present in the file
};

// Throws EWavError for anything but a usable file. A data chunk cut short by the end of the
// file (a recording that was never finished) yields the whole frames that are there.
WavInfo parseWav(const std::uint8_t* data, std::size_t size);

// Copies up to count bytes from offset of a file into out and returns how many it copied; fewer
// only where the file ends or cannot be read further.
using WavByteReader =
    std::function<std::size_t(std::size_t offset, std::size_t count, std::uint8_t* out)>;

// parseWav over a file of size bytes that is read only where its chunk headers and format lie,
// so a file of any length is described without holding it.
WavInfo parseWavHeader(const WavByteReader& read, std::size_t size);

// Writes the frames first … first + count − 1 to out as one channel, the average of all
// channels, scaled to −1 … 1 (float samples beyond that are clipped, non-finite ones count as
// 0). data and size are the bytes parseWav took. Throws EWavError when the frames are not all
// in the file.
void decodeMonoFrames(const WavInfo& info, const std::uint8_t* data, std::size_t size,
                      std::size_t first, std::size_t count, float* out);

// The same for count whole frames held in frames (count × blockAlign bytes).
void decodeMonoSamples(const WavInfo& info, const std::uint8_t* frames, std::size_t count,
                       float* out);

// The same for one channel (from 0) of those frames rather than their average. Throws EWavError
// for a channel the file does not have.
void decodeChannelSamples(const WavInfo& info, const std::uint8_t* frames, std::size_t count,
                          int channel, float* out);

} // namespace cantorix::platform
