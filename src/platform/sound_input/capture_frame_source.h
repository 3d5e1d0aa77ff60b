#pragma once
// A recording played into the capture as a microphone would: 44100 Hz mono 16-bit frames read
// in order from the first, held in memory or converted from a file as they are wanted. Read by
// one thread at a time (the pacing thread of the input that owns it).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cantorix::platform {

class CaptureFrameSource {
public:
    virtual ~CaptureFrameSource() = default;
    // Copies up to count of the next frames into out and returns how many; fewer only at the end
    // of the recording. Never throws: a recording that cannot be read further has ended.
    virtual std::size_t read(std::int16_t* out, std::size_t count) = 0;
    // Back to the first frame.
    virtual void rewind() = 0;
};

// Frames already in memory.
class MemoryFrameSource : public CaptureFrameSource {
public:
    explicit MemoryFrameSource(std::vector<std::int16_t> frames) : m_frames(std::move(frames)) {}

    std::size_t read(std::int16_t* out, std::size_t count) override {
        const std::size_t n = std::min(count, m_frames.size() - m_cursor);
        std::copy_n(m_frames.begin() + static_cast<std::ptrdiff_t>(m_cursor), n, out);
        m_cursor += n;
        return n;
    }
    void rewind() override { m_cursor = 0; }

private:
    std::vector<std::int16_t> m_frames;
    std::size_t m_cursor = 0;
};

} // namespace cantorix::platform
