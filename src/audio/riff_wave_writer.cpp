#include "riff_wave_writer.h"

#include <algorithm>
#include <array>
#include <limits>

namespace cantorix::audio {

namespace {

constexpr std::uint64_t kRiffSizeOffset = 4;
constexpr std::uint64_t kDataSizeOffset = 42;

void putFourCC(std::uint8_t* at, const char* code) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(code[i]);
}

void putLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

bool RiffWaveWriter::begin(OutputStream& stream, const base::TWaveFormat& format) {
    std::array<std::uint8_t, kHeaderSize> header{};
    putFourCC(&header[0], "RIFF");
    putFourCC(&header[8], "WAVE");
    putFourCC(&header[12], "fmt ");
    putLe32(&header[16], base::TWaveFormat::kRecordSize);
    const auto record = format.toBytes();
    std::copy(record.begin(), record.end(), header.begin() + 20);
    putFourCC(&header[38], "data");
    // Both sizes stay 0 until finish(): an interrupted recording reads as empty, not as garbage.
    m_stream = &stream;
    m_dataBytes = 0;
    if (!stream.truncate(0) || stream.write(header.data(), header.size()) != header.size()) {
        m_stream = nullptr;
        return false;
    }
    return true;
}

std::size_t RiffWaveWriter::writeData(const std::uint8_t* bytes, std::size_t count) {
    if (m_stream == nullptr)
        return 0;
    const std::size_t written = m_stream->write(bytes, count);
    m_dataBytes += written;
    return written;
}

bool RiffWaveWriter::finish() {
    if (m_stream == nullptr)
        return true;
    bool ok = true;
    if (m_dataBytes % 2 != 0) {
        const std::uint8_t pad = 0;
        ok = m_stream->write(&pad, 1) == 1;
    }
    const std::uint64_t end = kHeaderSize + m_dataBytes + m_dataBytes % 2;
    ok = ok && putSize(kDataSizeOffset, m_dataBytes) && putSize(kRiffSizeOffset, end - 8) &&
         m_stream->seek(end);
    m_stream = nullptr;
    return ok;
}

bool RiffWaveWriter::putSize(std::uint64_t at, std::uint64_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max())
        return false;
    std::array<std::uint8_t, 4> bytes{};
    putLe32(bytes.data(), static_cast<std::uint32_t>(size));
    return m_stream->seek(at) && m_stream->write(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace cantorix::audio
