#include "stream.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace cantorix::audio {

void Stream::readBuffer(void* buffer, std::size_t count) {
    if (read(buffer, count) != count)
        throw EStreamError("Stream read error");
}

void Stream::copyFrom(Stream& source, std::int64_t count) {
    std::array<std::uint8_t, 64 * 1024> piece{};
    while (count > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, piece.size()));
        source.readBuffer(piece.data(), n);
        writeBuffer(piece.data(), n);
        count -= static_cast<std::int64_t>(n);
    }
}

std::size_t MemoryStream::read(void* buffer, std::size_t count) {
    const std::size_t n =
        m_position < m_bytes.size() ? std::min(count, m_bytes.size() - m_position) : 0;
    if (n > 0)
        std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}

std::size_t MemoryStream::write(const void* buffer, std::size_t count) {
    if (count == 0)
        return 0;
    if (m_position + count > m_bytes.size())
        m_bytes.resize(m_position + count);
    std::memcpy(m_bytes.data() + m_position, buffer, count);
    m_position += count;
    return count;
}

std::int64_t MemoryStream::seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t base = origin == SeekOrigin::Begin ? 0
                              : origin == SeekOrigin::Current
                                  ? static_cast<std::int64_t>(m_position)
                                  : size();
    if (offset < -base)
        throw EStreamError("Stream seek error");
    m_position = static_cast<std::size_t>(base + offset);
    return static_cast<std::int64_t>(m_position);
}

} // namespace cantorix::audio
