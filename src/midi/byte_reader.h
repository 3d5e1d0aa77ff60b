#pragma once
// A forward cursor over borrowed bytes for the MIDI and RIFF readers: big-endian words, the
// variable-length quantities of MIDI, and slices. Reading past the end throws EReadError, as a
// file that ends before a declared length must.

#include <cstddef>
#include <cstdint>
#include <span>

namespace cantorix::midi {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t offset() const { return m_offset; }
    std::size_t remaining() const { return m_bytes.size() - m_offset; }
    bool atEnd() const { return m_offset >= m_bytes.size(); }

    std::uint8_t readByte();
    std::uint16_t readU16BE();
    std::uint32_t readU32BE();
    // Bytes are taken while their top bit is set, with no limit on their number; the value
    // wraps modulo 2^32 as a 32-bit register would.
    std::uint32_t readVarLen();
    // The next `count` bytes, borrowed from the underlying buffer.
    std::span<const std::uint8_t> readSpan(std::size_t count);
    bool readTag(const char (&tag)[5]);

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
};

} // namespace cantorix::midi
