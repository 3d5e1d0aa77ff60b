#include "looping_ring.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace cantorix::platform {

LoopingRing::LoopingRing(std::int32_t size) {
    if (size < 1)
        throw std::invalid_argument("a capture ring needs at least one byte");
    m_bytes.resize(static_cast<std::size_t>(size));
}

void LoopingRing::write(const std::uint8_t* data, std::size_t count) {
    if (count == 0)
        return;
    const std::size_t ringSize = m_bytes.size();
    auto position = static_cast<std::size_t>(m_write);
    if (count > ringSize) {
        // Only the newest ring-full survives; the skipped bytes still move the position.
        const std::size_t skipped = count - ringSize;
        position = (position + skipped) % ringSize;
        data += skipped;
        count = ringSize;
    }
    const std::size_t first = std::min(count, ringSize - position);
    std::memcpy(m_bytes.data() + position, data, first);
    std::memcpy(m_bytes.data(), data + first, count - first);
    m_write = static_cast<std::int32_t>((position + count) % ringSize);
}

bool LoopingRing::lock(std::int32_t offset, std::int32_t length,
                       pitch::RingRegions& regions) const {
    const std::int32_t ringSize = size();
    if (offset < 0 || offset >= ringSize || length < 1 || length > ringSize)
        return false;
    const std::int32_t first = std::min(length, ringSize - offset);
    regions.data1 = m_bytes.data() + offset;
    regions.length1 = first;
    regions.data2 = first < length ? m_bytes.data() : nullptr;
    regions.length2 = length - first;
    return true;
}

} // namespace cantorix::platform
