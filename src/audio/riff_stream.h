#pragma once
// Audio files as streams: a reader parses a container and hands out its sound data as
// sub-streams, a writer puts a header in front of the audio bytes it is given and completes it
// at the end. `TdeRIFFAudioReader` and `TdeRIFFAudioWriter` do this for RIFF WAVE files.
// Neither owns the file stream; one thread.

#include "stream.h"
#include "sub_stream.h"
#include "wave_format.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace cantorix::audio {

class TdeAbstractAudioStream {
public:
    explicit TdeAbstractAudioStream(Stream& stream) : m_stream(&stream) {}
    virtual ~TdeAbstractAudioStream() = default;
    TdeAbstractAudioStream(const TdeAbstractAudioStream&) = delete;
    TdeAbstractAudioStream& operator=(const TdeAbstractAudioStream&) = delete;

    TdeWaveFormat& format() { return m_format; }
    const TdeWaveFormat& format() const { return m_format; }
    Stream& stream() const { return *m_stream; }

protected:
    Stream* m_stream;
    TdeWaveFormat m_format;
};

class TdeAbstractAudioWriter : public TdeAbstractAudioStream {
public:
    // Remembers the stream's position: the file starts there.
    explicit TdeAbstractAudioWriter(Stream& stream);
    // Each concrete writer's destructor finalises the header if data was written and finish()
    // was not called; errors are lost there, so callers that care call finish() themselves.
    ~TdeAbstractAudioWriter() override = default;

    // Writes the header before the first bytes, then the bytes as they are.
    void write(const void* data, std::size_t size);
    // Completes the header (sizes) if any data was written; the stream ends up at the end of
    // the file. Throws the stream's error. Idempotent.
    void finish();

    std::int64_t dataWritten() const { return m_dataWritten; }
    std::int64_t startPosition() const { return m_startPosition; }

protected:
    virtual void writeHeader() = 0;
    virtual void finaliseHeader() = 0;

    std::int64_t m_dataWritten = 0;
    std::int64_t m_startPosition;
    bool m_finished = false;
};

class TdeAbstractAudioReader : public TdeAbstractAudioStream {
public:
    using TdeAbstractAudioStream::TdeAbstractAudioStream;
    ~TdeAbstractAudioReader() override;

    // The sound sections handed out; they stay valid until released or the reader goes.
    std::size_t sectionCount() const { return m_subStreams.size(); }
    TdeSubStream& section(std::size_t index) const { return *m_subStreams.at(index); }
    // Frees a section before the reader; it disappears from the list.
    void release(TdeSubStream* section);

protected:
    TdeSubStream& addSection(std::int64_t start, std::int64_t length);

private:
    std::vector<std::unique_ptr<TdeSubStream>> m_subStreams;
};

// Parses a RIFF WAVE file from the stream's start: "RIFF", a non-zero size, "WAVE", then chunks
// until both "fmt " and "data" were seen. A "fmt " chunk over 512 bytes, a missing chunk or a
// file that ends early raise EAudioReadError "Invalid file format.". Chunk identifiers are
// compared without regard to case; other chunks are skipped by their stated size.
class TdeRIFFAudioReader : public TdeAbstractAudioReader {
public:
    explicit TdeRIFFAudioReader(Stream& stream);

    // The "data" chunk, positioned at its start. A chunk that claims more bytes than the file
    // holds covers what is there.
    TdeSubStream& dataStream() const { return section(0); }
};

// Writes, from the stream position at creation: "RIFF", size, "WAVE", "fmt ", n, the first n
// bytes of the format record (n = 16 for PCM, else extra size + 18), "data", size, then the
// audio bytes exactly as given. A PCM file thus has a 44-byte header. Set format() before the
// first write; the sizes are filled in by finish() (or the destructor).
class TdeRIFFAudioWriter : public TdeAbstractAudioWriter {
public:
    using TdeAbstractAudioWriter::TdeAbstractAudioWriter;
    ~TdeRIFFAudioWriter() override;

    // Header bytes the current format gives: 28 + n.
    std::uint32_t headerSize() const { return 28 + formatChunkSize(); }

protected:
    void writeHeader() override;
    void finaliseHeader() override;

private:
    std::uint32_t formatChunkSize() const;
    std::int64_t m_dataChunkPosition = 0;
};

} // namespace cantorix::audio
