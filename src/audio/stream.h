#pragma once
// A seekable byte stream, the way the audio layer reads and writes its files, memory buffers
// and windows onto other streams; and its in-memory implementation. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace cantorix::audio {

// A stream operation failed; the text says which file and why.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class SeekOrigin { Begin, Current, End };

class Stream {
public:
    virtual ~Stream() = default;

    // Reads up to count bytes at the position; returns how many were read (0 at the end).
    virtual std::size_t read(void* buffer, std::size_t count) = 0;
    // Writes count bytes at the position and returns count; throws EStreamError (or the
    // stream's own error) when they cannot all be stored.
    virtual std::size_t write(const void* buffer, std::size_t count) = 0;
    // Moves the position and returns it. Throws EStreamError when the target is before 0.
    virtual std::int64_t seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t size() const = 0;

    std::int64_t position() { return seek(0, SeekOrigin::Current); }
    void setPosition(std::int64_t position) { seek(position, SeekOrigin::Begin); }

    // Reads exactly count bytes or throws EStreamError "Stream read error".
    void readBuffer(void* buffer, std::size_t count);
    // Writes exactly count bytes or throws.
    void writeBuffer(const void* buffer, std::size_t count) { write(buffer, count); }
    // Copies count bytes from source's position to this stream's position, in pieces.
    void copyFrom(Stream& source, std::int64_t count);
};

// A stream over a growable byte vector it owns.
class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    std::size_t read(void* buffer, std::size_t count) override;
    std::size_t write(const void* buffer, std::size_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t size() const override { return static_cast<std::int64_t>(m_bytes.size()); }

    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

} // namespace cantorix::audio
