#include "byte_reader.h"

#include "midi_errors.h"

#include <cstring>

namespace cantorix::midi {

namespace {

[[noreturn]] void throwReadError() {
    throw EReadError("Stream read error");
}

} // namespace

std::uint8_t ByteReader::readByte() {
    if (atEnd())
        throwReadError();
    return m_bytes[m_offset++];
}

std::uint16_t ByteReader::readU16BE() {
    const auto bytes = readSpan(2);
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

std::uint32_t ByteReader::readU32BE() {
    const auto bytes = readSpan(4);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

std::uint32_t ByteReader::readVarLen() {
    std::uint32_t value = 0;
    std::uint8_t byte = 0;
    do {
        byte = readByte();
        value = (value << 7) | (byte & 0x7Fu);
    } while (byte & 0x80u);
    return value;
}

std::span<const std::uint8_t> ByteReader::readSpan(std::size_t count) {
    if (count > remaining())
        throwReadError();
    const auto slice = m_bytes.subspan(m_offset, count);
    m_offset += count;
    return slice;
}

bool ByteReader::readTag(const char (&tag)[5]) {
    const auto bytes = readSpan(4);
    return std::memcmp(bytes.data(), tag, 4) == 0;
}

} // namespace cantorix::midi
