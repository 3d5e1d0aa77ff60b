#include "riff_stream.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <limits>

namespace cantorix::audio {

namespace {

constexpr std::size_t kMaxFormatChunk = TdeWaveFormat::kBufferSize;

std::uint32_t le32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

void putLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool sameId(const std::uint8_t* id, const char* upper) {
    for (int i = 0; i < 4; ++i)
        if (std::toupper(id[i]) != upper[i])
            return false;
    return true;
}

[[noreturn]] void invalid() {
    throw EAudioReadError(kInvalidFileFormat);
}

void readOrInvalid(Stream& stream, void* buffer, std::size_t count) {
    if (stream.read(buffer, count) != count)
        invalid();
}

} // namespace

// --- writer ---

TdeAbstractAudioWriter::TdeAbstractAudioWriter(Stream& stream)
    : TdeAbstractAudioStream(stream), m_startPosition(stream.position()) {}

void TdeAbstractAudioWriter::write(const void* data, std::size_t size) {
    if (size == 0)
        return;
    if (m_finished)
        throw EAudioCodecError("Cannot write to a finished audio file.");
    if (m_dataWritten == 0)
        writeHeader();
    m_stream->writeBuffer(data, size);
    m_dataWritten += static_cast<std::int64_t>(size);
}

void TdeAbstractAudioWriter::finish() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_dataWritten > 0)
        finaliseHeader();
}

TdeRIFFAudioWriter::~TdeRIFFAudioWriter() {
    try {
        finish();
    } catch (...) {
        // A destructor cannot report; finish() is there for callers who need to know.
    }
}

std::uint32_t TdeRIFFAudioWriter::formatChunkSize() const {
    // A PCM record's extra size means nothing, and common readers expect 16 bytes.
    return m_format.isPcm() ? 16u : m_format.extraSize() + 18u;
}

void TdeRIFFAudioWriter::writeHeader() {
    const std::uint32_t n = formatChunkSize();
    std::vector<std::uint8_t> header(28 + n, 0);
    std::memcpy(&header[0], "RIFF", 4);
    std::memcpy(&header[8], "WAVE", 4);
    std::memcpy(&header[12], "fmt ", 4);
    putLe32(&header[16], n);
    std::memcpy(&header[20], m_format.buffer().data(), n);
    std::memcpy(&header[20 + n], "data", 4);
    m_stream->setPosition(m_startPosition);
    m_stream->writeBuffer(header.data(), header.size());
    m_dataChunkPosition = m_startPosition + 20 + n;
}

void TdeRIFFAudioWriter::finaliseHeader() {
    const std::int64_t end = m_stream->position();
    const std::int64_t riffSize = end - m_startPosition - 8;
    const std::int64_t dataSize = end - m_dataChunkPosition - 8;
    if (riffSize > std::numeric_limits<std::uint32_t>::max())
        throw EAudioCodecError("The audio file is too large for the RIFF format.");
    std::array<std::uint8_t, 4> bytes{};
    putLe32(bytes.data(), static_cast<std::uint32_t>(riffSize));
    m_stream->setPosition(m_startPosition + 4);
    m_stream->writeBuffer(bytes.data(), bytes.size());
    putLe32(bytes.data(), static_cast<std::uint32_t>(dataSize));
    m_stream->setPosition(m_dataChunkPosition + 4);
    m_stream->writeBuffer(bytes.data(), bytes.size());
    m_stream->setPosition(end);
}

// --- reader ---

TdeAbstractAudioReader::~TdeAbstractAudioReader() {
    // Freed with the reader; their callbacks must not touch the list while it goes.
    auto sections = std::move(m_subStreams);
    m_subStreams.clear();
    sections.clear();
}

void TdeAbstractAudioReader::release(TdeSubStream* section) {
    auto it = std::find_if(m_subStreams.begin(), m_subStreams.end(),
                           [section](const auto& owned) { return owned.get() == section; });
    if (it == m_subStreams.end())
        return;
    auto owned = std::move(*it);
    m_subStreams.erase(it);
}

TdeSubStream& TdeAbstractAudioReader::addSection(std::int64_t start, std::int64_t length) {
    m_subStreams.push_back(std::make_unique<TdeSubStream>(m_stream, start, length));
    return *m_subStreams.back();
}

TdeRIFFAudioReader::TdeRIFFAudioReader(Stream& stream) : TdeAbstractAudioReader(stream) {
    const std::int64_t fileSize = stream.size();
    stream.setPosition(0);
    std::array<std::uint8_t, 12> riff{};
    readOrInvalid(stream, riff.data(), riff.size());
    if (std::memcmp(&riff[0], "RIFF", 4) != 0 || le32(&riff[4]) == 0 ||
        std::memcmp(&riff[8], "WAVE", 4) != 0)
        invalid();

    bool haveFormat = false;
    bool haveData = false;
    std::int64_t dataStart = 0;
    std::int64_t dataSize = 0;
    std::int64_t position = 12;
    while (!(haveFormat && haveData)) {
        std::array<std::uint8_t, 8> chunk{};
        stream.setPosition(position);
        readOrInvalid(stream, chunk.data(), chunk.size());
        const std::uint32_t size = le32(&chunk[4]);
        position += 8;
        if (sameId(chunk.data(), "FMT ")) {
            if (size > kMaxFormatChunk)
                invalid();
            m_format.resetDefaults();
            readOrInvalid(stream, m_format.buffer().data(), size);
        } else if (sameId(chunk.data(), "DATA")) {
            haveData = true;
            dataStart = position;
            dataSize = size;
        }
        haveFormat = haveFormat || sameId(chunk.data(), "FMT ");
        position += size;
    }
    // A file cut short (an interrupted recording, a full disk) still holds the audio up to
    // its end; a data chunk with nothing in it gives nothing to convert.
    dataSize = std::min(dataSize, fileSize - dataStart);
    if (dataSize <= 0)
        invalid();
    addSection(dataStart, dataSize);
}

} // namespace cantorix::audio
