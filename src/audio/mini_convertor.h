#pragma once
// `TMiniConvertor`: one step of a conversion chain, a codec stream from one format to another
// with its input buffer (sized from the first block, leftovers kept for the next) and its
// output buffer. Owns the codec stream; main thread.

#include "codec_port.h"
#include "wave_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace cantorix::audio {

class TMiniConvertor {
public:
    // Limit of either buffer: a block that needs more is refused with "Audio is too large to
    // fit into conversion buffer" rather than taking unbounded memory.
    static constexpr std::size_t kMaxBufferBytes = std::size_t{256} << 20;

    TMiniConvertor(CodecPort& codecs, const TdeWaveFormat& source,
                   const TdeWaveFormat& destination);
    ~TMiniConvertor();
    TMiniConvertor(const TMiniConvertor&) = delete;
    TMiniConvertor& operator=(const TMiniConvertor&) = delete;

    // Opens the codec stream (EConversionError with the result code's text on failure;
    // "Cannot perform this action while active." when open), then resets.
    void open(bool realTime);
    // Closes the codec stream; "Cannot perform this action while not active." when closed.
    void close();
    bool active() const { return m_codec != nullptr; }
    // Drops both buffers and the codec's state, for a new stream.
    void reset();

    // Appends data to the input buffer and converts what it can. The result is this step's
    // output for the block, valid until the next call; empty when the codec gives nothing yet.
    std::span<const std::uint8_t> convert(std::span<const std::uint8_t> data, unsigned flags);

    // Masks floating-point exceptions around each codec call (on by default).
    bool fpuMask = true;

    const TdeWaveFormat& source() const { return m_source; }
    const TdeWaveFormat& destination() const { return m_destination; }
    std::size_t inputCapacity() const { return m_input.size(); }
    std::size_t inputFill() const { return m_fill; }

private:
    void append(std::span<const std::uint8_t> data);
    void prepare();
    int runCodec(unsigned flags, std::size_t& consumed);

    CodecPort& m_codecs;
    TdeWaveFormat m_source;
    TdeWaveFormat m_destination;
    std::unique_ptr<CodecStream> m_codec;
    std::vector<std::uint8_t> m_input; // its size is the capacity
    std::size_t m_fill = 0;
    bool m_prepared = false;
    std::vector<std::uint8_t> m_output;
};

} // namespace cantorix::audio
