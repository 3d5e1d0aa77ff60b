#pragma once
// The wave stream family: TCustomWaveStream keeps the byte position and gives every wave
// operation a do-nothing default; TFormattedWaveStream adds an owned format record buffer.
// Main thread only.

#include <cstdint>
#include <vector>

namespace cantorix::pitch {

class TCustomWaveStream {
public:
    TCustomWaveStream() = default;
    TCustomWaveStream(const TCustomWaveStream&) = delete;
    TCustomWaveStream& operator=(const TCustomWaveStream&) = delete;
    virtual ~TCustomWaveStream() = default;

    // Reads through readWaveData and advances the position by what it returned (wrapping like
    // the 32-bit counter it is). A negative count reads nothing.
    std::int32_t read(void* buffer, std::int32_t count);
    // Bytes delivered so far.
    std::int32_t position() const { return m_position; }

    // Bytes waiting to be read; −1 for a stream that cannot tell.
    virtual std::int32_t filledSize() { return -1; }
    virtual const std::uint8_t* formatRecord() const { return nullptr; }
    virtual std::int32_t formatSize() const { return 0; }
    // −1: unbounded.
    virtual std::int32_t waveSize() const { return -1; }

protected:
    virtual std::int32_t readWaveData(void* /*buffer*/, std::int32_t /*count*/) { return 0; }
    virtual void setFormatSize(std::int32_t /*size*/) {}

private:
    std::int32_t m_position = 0;
};

class TFormattedWaveStream : public TCustomWaveStream {
public:
    const std::uint8_t* formatRecord() const override { return m_format.data(); }
    std::int32_t formatSize() const override { return static_cast<std::int32_t>(m_format.size()); }

protected:
    // Resizes the record buffer; new bytes are zero.
    void setFormatSize(std::int32_t size) override;
    std::uint8_t* mutableFormatRecord() { return m_format.data(); }

private:
    std::vector<std::uint8_t> m_format;
};

} // namespace cantorix::pitch
