// Feeds arbitrary bytes to the MPEG frame scan: a found stream must lie inside the file and its
// 70-byte header must open in the RIFF reader with a window of exactly the data; the scan over
// a stream must agree with the scan over the bytes. The wrapped data then goes through the real
// decoding chain, which may refuse it with the layer's errors but must not crash.

#include "audio/audio_convertor.h"
#include "audio/mpeg_scan.h"
#include "audio/riff_stream.h"
#include "platform/media/codec_manager.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cantorix;
    using namespace cantorix::audio;
    const std::vector<std::uint8_t> file(data, data + size);
    TMpegFrameRecord record;
    const std::int64_t ms = mpegScan(file, record);
    MemoryStream stream(file);
    TMpegFrameRecord fromStream;
    if (mpegScan(stream, fromStream) != ms || fromStream.frameCount != record.frameCount)
        std::abort();
    if (ms == 0)
        return 0;
    if (record.firstFrameOffset < 0 || record.dataLength <= 0 ||
        record.firstFrameOffset + record.dataLength > static_cast<std::int64_t>(size) ||
        record.frameLength <= 0)
        std::abort();
    const auto header = mpegWaveHeader(record);
    std::vector<std::uint8_t> wrapped(header.begin(), header.end());
    wrapped.insert(wrapped.end(), file.begin() + record.firstFrameOffset,
                   file.begin() + record.firstFrameOffset + record.dataLength);
    MemoryStream wav(wrapped);
    TdeRIFFAudioReader reader(wav);
    if (reader.dataStream().size() != record.dataLength)
        std::abort();
    try {
        platform::CodecManager codecs;
        TdeAudioConvertor convertor(codecs);
        convertor.formatIn() = reader.format();
        // The decoder alone: a resampler behind it would only slow the search down.
        convertor.formatOut() =
            makePcmWaveFormat(reader.format().samplesPerSec(), 16, reader.format().channels());
        convertor.open();
        convertor.convert(reader.dataStream());
    } catch (const EAudioCodecError&) {
    }
    return 0;
}
