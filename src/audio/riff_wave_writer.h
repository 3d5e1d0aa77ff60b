#pragma once
// Writes a recording as a RIFF WAVE file: the header with an 18-byte "fmt " chunk and an open
// "data" chunk first, the samples as they come, and both sizes patched in at the end, so the
// file is 46 bytes plus its samples. Owns nothing; one thread.

#include "base/wave_format.h"
#include "output_stream.h"

#include <cstdint>

namespace cantorix::audio {

class RiffWaveWriter {
public:
    static constexpr std::uint64_t kHeaderSize = 46;

    // Empties the stream and writes the header; false when it could not be stored.
    bool begin(OutputStream& stream, const base::TWaveFormat& format);
    // Appends to the data chunk; returns the bytes stored.
    std::size_t writeData(const std::uint8_t* bytes, std::size_t count);
    // Pads the data chunk to an even length and fills in both sizes. False when that failed;
    // the writer is idle afterwards either way.
    bool finish();

    bool active() const { return m_stream != nullptr; }

private:
    bool putSize(std::uint64_t at, std::uint64_t size);

    OutputStream* m_stream = nullptr;
    std::uint64_t m_dataBytes = 0;
};

} // namespace cantorix::audio
