#pragma once
// `TdeSubStream`: a window [start, start + length) onto a parent stream, as a reader hands out
// for a file's sound data. Reads stop at the window's end, writes may not pass it, positions
// are relative to the window. Does not own the parent; one thread.

#include "stream.h"

#include <functional>
#include <stdexcept>

namespace cantorix::audio {

// A broken precondition of the stream layer (a programming error, not bad input).
class EAssertionFailed : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class ESubStreamError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class TdeSubStream : public Stream {
public:
    using OwnerCallback = std::function<void(TdeSubStream&)>;

    // Requires a parent, 0 < start < parent size and start + length − 1 < parent size
    // (EAssertionFailed otherwise); seeks the parent to start. onDestroy runs in the
    // destructor, so an owner can forget the window.
    TdeSubStream(Stream* parent, std::int64_t start, std::int64_t length,
                 OwnerCallback onDestroy = {});
    ~TdeSubStream() override;
    TdeSubStream(const TdeSubStream&) = delete;
    TdeSubStream& operator=(const TdeSubStream&) = delete;

    // Clipped to the window.
    std::size_t read(void* buffer, std::size_t count) override;
    // Throws ESubStreamError "Write past end of sub stream." when the bytes do not fit.
    std::size_t write(const void* buffer, std::size_t count) override;
    // Relative to the window, clipped to 0 … length; the parent follows.
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t size() const override { return m_length; }

    Stream& parent() const { return *m_parent; }
    std::int64_t start() const { return m_start; }

private:
    Stream* m_parent;
    std::int64_t m_start;
    std::int64_t m_length;
    std::int64_t m_position = 0;
    OwnerCallback m_onDestroy;
};

} // namespace cantorix::audio
