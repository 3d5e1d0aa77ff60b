#include "wave_stream.h"

#include <algorithm>

namespace cantorix::pitch {

std::int32_t TCustomWaveStream::read(void* buffer, std::int32_t count) {
    if (count <= 0)
        return 0;
    const std::int32_t done = readWaveData(buffer, count);
    // The position is a 32-bit counter that wraps; unsigned arithmetic keeps that defined.
    m_position = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_position) +
                                           static_cast<std::uint32_t>(std::max(done, 0)));
    return done;
}

void TFormattedWaveStream::setFormatSize(std::int32_t size) {
    m_format.resize(static_cast<std::size_t>(std::max(size, 0)));
}

} // namespace cantorix::pitch
