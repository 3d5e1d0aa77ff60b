#pragma once
// Port: CodecPort, CodecStream. Adapter: platform/media/codec_manager.h;
// fake: tests/fakes/fake_codec_port.h.
// The port standing in for the platform's codec manager: which conversions exist, which PCM
// format to convert through, and open conversion streams that turn blocks of one format into
// another. Answers are the manager's result codes (codec_errors.h), 0 for success. The adapter
// lives in platform/; everything runs on the calling thread.

#include "wave_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace cantorix::audio {

// Flags of one block handed to a conversion stream.
enum ConvertFlags : unsigned {
    kConvertBlockAlign = 0x04, // a middle block: keep partial units for the next call
    kConvertStart = 0x10,      // the first block of a stream: the codec starts afresh
    kConvertEnd = 0x20,        // the last block: the codec gives out all it still holds
};

// One open conversion from a source to a destination format.
class CodecStream {
public:
    virtual ~CodecStream() = default;

    // The output bytes that inputBytes of input will about give, for sizing buffers (output
    // may still grow past it); 0 when that input gives nothing.
    virtual std::size_t outputSize(std::size_t inputBytes) const = 0;

    // Converts input with the given flags, appending the output to output. Sets consumed to
    // the input bytes taken (the rest, a partial unit, comes again with the next block).
    // Returns a result code; a codec may also throw ECodecDriverError for damaged data.
    virtual int convert(std::span<const std::uint8_t> input, unsigned flags,
                        std::vector<std::uint8_t>& output, std::size_t& consumed) = 0;

    // Forgets everything held, for a new stream.
    virtual int reset() = 0;
};

class CodecPort {
public:
    virtual ~CodecPort() = default;

    // The stream-open query: 0 when source → destination can be opened.
    virtual int query(const TdeWaveFormat& source, const TdeWaveFormat& destination,
                      bool realTime) const = 0;
    // Fills the record fields of pcm (18 bytes, extra size 0) with the PCM format the codecs
    // suggest for converting source to or from PCM; bytes past the record stay as they are.
    virtual int suggestPcm(const TdeWaveFormat& source, TdeWaveFormat& pcm) const = 0;
    // Opens a conversion; stream is set on success.
    virtual int open(const TdeWaveFormat& source, const TdeWaveFormat& destination, bool realTime,
                     std::unique_ptr<CodecStream>& stream) = 0;
};

} // namespace cantorix::audio
