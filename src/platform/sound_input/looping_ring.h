#pragma once
// A looping byte ring: written at a position that wraps, overwriting its oldest bytes, and
// read through lock() as one region, or two where the bytes run past the end. Pure logic for
// one thread (the reader of a capture queue).

#include "pitch/capture_port.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cantorix::platform {

class LoopingRing {
public:
    // size must be at least 1.
    explicit LoopingRing(std::int32_t size);

    std::int32_t size() const { return static_cast<std::int32_t>(m_bytes.size()); }
    std::int32_t writePosition() const { return m_write; }

    // Appends count bytes; the position advances by count modulo the size.
    void write(const std::uint8_t* data, std::size_t count);
    // The length bytes starting at offset. False when offset lies outside the ring or length
    // is not within 1..size.
    bool lock(std::int32_t offset, std::int32_t length, pitch::RingRegions& regions) const;

private:
    std::vector<std::uint8_t> m_bytes;
    std::int32_t m_write = 0;
};

} // namespace cantorix::platform
