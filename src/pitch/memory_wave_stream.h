#pragma once
// A wave stream over bytes held in memory: what has been appended and not yet read is waiting,
// like the bytes a capture ring has collected. Feeds the analysis without a device (tools,
// tests, benchmarks). One thread.

#include "pitch/wave_stream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace cantorix::pitch {

class MemoryWaveStream : public TCustomWaveStream {
public:
    void append(const std::uint8_t* data, std::size_t count) {
        m_bytes.insert(m_bytes.end(), data, data + count);
    }

    std::int32_t filledSize() override {
        const std::size_t waiting = m_bytes.size() - m_read;
        return static_cast<std::int32_t>(
            std::min<std::size_t>(waiting, std::numeric_limits<std::int32_t>::max()));
    }

protected:
    // Hands out what is waiting, up to count; returns how much that was.
    std::int32_t readWaveData(void* buffer, std::int32_t count) override {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)),
                                                    m_bytes.size() - m_read);
        if (n > 0)
            std::memcpy(buffer, m_bytes.data() + m_read, n);
        m_read += n;
        if (m_read == m_bytes.size()) {
            m_bytes.clear();
            m_read = 0;
        }
        return static_cast<std::int32_t>(n);
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_read = 0;
};

} // namespace cantorix::pitch
