#pragma once
// The MPEG audio frame scan: finds the first real frame of an MP3 file (layers I to III, MPEG 1
// and 2) in its first 8192 bytes, confirmed by a Xing header or by a chain of at least three
// consistent frames, and works out the frame count and the play length. Also builds the
// 70-byte RIFF WAVE header that lets the RIFF reader open bare MPEG data. Pure, any thread.

#include "stream.h"

#include <array>
#include <cstdint>
#include <span>

namespace cantorix::audio {

// What the scan learnt about the stream; valid when the scan returned a non-zero length.
struct TMpegFrameRecord {
    std::int64_t firstFrameOffset = 0; // from the start of the file
    std::int64_t dataLength = 0;       // audio length (without a trailing ID3v1 block) − offset
    int version = 0;                   // 1 or 2
    int layer = 0;                     // 1 … 3
    int bitRateIndex = 0;
    int sampleRateIndex = 0;
    int bitRate = 0;     // kbit/s of the first frame
    int sampleRate = 0;  // Hz
    int channelMode = 0; // 3 is single channel
    bool singleChannel = false;
    int samplesPerFrame = 0;
    int frameLength = 0;      // bytes of the first frame, padding included
    bool paddingSeen = false; // any checked frame was padded
    bool xingFound = false;
    std::int64_t frameCount = 0;
    std::int64_t lengthMs = 0;
};

// The number of bytes from the start of a file that the scan may look at: candidates lie in
// the first 8192, and a chain of eight frames of the largest kind follows them.
inline constexpr std::size_t kMpegScanHeadBytes = 8192 + 8 * 1729 + 8;
inline constexpr std::size_t kId3v1Size = 128;

// Scans a file given as its first bytes (head, up to kMpegScanHeadBytes are used), its total
// size and its last up to 128 bytes (tail). Returns the play length in ms, 0 when no frame was
// found (record is then cleared).
std::int64_t mpegScan(std::span<const std::uint8_t> head, std::int64_t fileSize,
                      std::span<const std::uint8_t> tail, TMpegFrameRecord& record);
// The same over a whole file held in memory.
std::int64_t mpegScan(std::span<const std::uint8_t> file, TMpegFrameRecord& record);
// The same over a stream, reading only what the scan needs; the position is left at 0.
std::int64_t mpegScan(Stream& stream, TMpegFrameRecord& record);

inline constexpr std::size_t kMpegWaveHeaderSize = 70;

// The MP3-in-WAV header for record (tag 85, "fact" with the sample count, "data" of
// dataLength bytes). Throws EAudioReadError when the data is too large for RIFF sizes.
std::array<std::uint8_t, kMpegWaveHeaderSize> mpegWaveHeader(const TMpegFrameRecord& record);

} // namespace cantorix::audio
