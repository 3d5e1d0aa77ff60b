#include "mpeg_scan.h"

#include "codec_errors.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace cantorix::audio {

namespace {

constexpr std::size_t kCandidateBytes = 8192;
constexpr int kMaxFollowers = 7;
constexpr int kMinChain = 3;

// kbit/s by [version 1 or 2 − 1][layer − 1][index]; 0 marks the free and the bad index.
constexpr int kBitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr int kSampleRates[2][4] = {{44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}};

struct Header {
    int version;
    int layer;
    int bitRateIndex;
    int sampleRateIndex;
    int padding;
    int channelMode;
    int bitRate;
    int sampleRate;
    int samplesPerFrame;
    int frameLength;

    bool singleChannel() const { return channelMode == 3; }
    bool sameStream(const Header& other) const {
        return layer == other.layer && version == other.version &&
               bitRateIndex == other.bitRateIndex && sampleRateIndex == other.sampleRateIndex &&
               singleChannel() == other.singleChannel();
    }
};

// The candidate test and the table lookups for the four bytes at b.
std::optional<Header> parseHeader(const std::uint8_t* b) {
    const std::uint32_t word = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 |
                               std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
    const int layerBits = (word >> 9) & 3;
    const int bitRateIndex = (word >> 20) & 15;
    const int sampleRateIndex = (word >> 18) & 3;
    if ((word & 0xFF) != 0xFF || ((word >> 12) & 15) != 15 || layerBits == 0 ||
        bitRateIndex == 15 || sampleRateIndex == 3)
        return std::nullopt;
    Header h{};
    h.version = ((word >> 11) & 1) != 0 ? 1 : 2;
    h.layer = 4 - layerBits;
    h.bitRateIndex = bitRateIndex;
    h.sampleRateIndex = sampleRateIndex;
    h.padding = (word >> 17) & 1;
    h.channelMode = (word >> 30) & 3;
    h.samplesPerFrame = h.layer == 1 ? 384 : (h.layer == 3 && h.version == 2) ? 576 : 1152;
    h.bitRate = kBitRates[h.version - 1][h.layer - 1][bitRateIndex];
    h.sampleRate = kSampleRates[h.version - 1][sampleRateIndex];
    if (h.bitRate == 0 || h.sampleRate == 0)
        return std::nullopt;
    h.frameLength =
        h.samplesPerFrame * h.bitRate * 125 / h.sampleRate + h.padding * (h.layer == 1 ? 4 : 1);
    return h;
}

// The Xing frame count of the frame at offset, if it has one with the frame-count flag.
std::optional<std::int64_t> xingFrames(std::span<const std::uint8_t> head, std::size_t offset,
                                       const Header& h) {
    const std::size_t side =
        h.version == 1 ? (h.singleChannel() ? 17 : 32) : (h.singleChannel() ? 9 : 17);
    const std::size_t tag = offset + 4 + side;
    if (tag + 12 > head.size() || std::memcmp(&head[tag], "Xing", 4) != 0)
        return std::nullopt;
    if ((head[tag + 7] & 1) == 0)
        return std::nullopt;
    return std::int64_t{head[tag + 8]} << 24 | std::int64_t{head[tag + 9]} << 16 |
           std::int64_t{head[tag + 10]} << 8 | std::int64_t{head[tag + 11]};
}

// Integer a / b rounded to the nearest, halves to the even neighbour (a, b > 0).
std::int64_t divRoundHalfEven(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    const std::int64_t r2 = (a % b) * 2;
    return (r2 > b || (r2 == b && q % 2 != 0)) ? q + 1 : q;
}

void fill(TMpegFrameRecord& r, const Header& h, std::size_t offset, std::int64_t audioLength) {
    r.firstFrameOffset = static_cast<std::int64_t>(offset);
    r.dataLength = audioLength - r.firstFrameOffset;
    r.version = h.version;
    r.layer = h.layer;
    r.bitRateIndex = h.bitRateIndex;
    r.sampleRateIndex = h.sampleRateIndex;
    r.bitRate = h.bitRate;
    r.sampleRate = h.sampleRate;
    r.channelMode = h.channelMode;
    r.singleChannel = h.singleChannel();
    r.samplesPerFrame = h.samplesPerFrame;
    r.frameLength = h.frameLength;
}

} // namespace

std::int64_t mpegScan(std::span<const std::uint8_t> head, std::int64_t fileSize,
                      std::span<const std::uint8_t> tail, TMpegFrameRecord& record) {
    record = {};
    head = head.first(
        std::min<std::size_t>({head.size(), kMpegScanHeadBytes,
                               static_cast<std::size_t>(std::max<std::int64_t>(fileSize, 0))}));
    std::int64_t audioLength = fileSize;
    if (fileSize > static_cast<std::int64_t>(kId3v1Size) && tail.size() >= kId3v1Size &&
        std::memcmp(&tail[tail.size() - kId3v1Size], "TAG", 3) == 0)
        audioLength -= kId3v1Size;
    // Frames are followed only as far as the audio goes.
    const std::size_t usable = std::min<std::size_t>(
        head.size(), static_cast<std::size_t>(std::max<std::int64_t>(audioLength, 0)));
    const std::size_t candidates = std::min(usable, kCandidateBytes);

    bool firstValid = true;
    for (std::size_t i = 0; i + 3 < candidates; ++i) {
        const auto first = parseHeader(&head[i]);
        if (!first)
            continue;
        if (firstValid) {
            firstValid = false;
            if (const auto frames = xingFrames(head.first(usable), i, *first)) {
                fill(record, *first, i, audioLength);
                record.xingFound = true;
                record.frameCount = *frames;
                record.lengthMs = *frames * first->samplesPerFrame * 1000 / first->sampleRate;
                return record.lengthMs;
            }
        }
        int chain = 1;
        bool padding = first->padding != 0;
        std::size_t next = i + static_cast<std::size_t>(first->frameLength);
        while (chain < 1 + kMaxFollowers && next + 3 < usable) {
            const auto frame = parseHeader(&head[next]);
            if (!frame || !frame->sameStream(*first))
                break;
            padding = padding || frame->padding != 0;
            ++chain;
            next += static_cast<std::size_t>(frame->frameLength);
        }
        if (chain < kMinChain)
            continue;
        fill(record, *first, i, audioLength);
        record.paddingSeen = padding;
        const std::int64_t average =
            padding
                ? divRoundHalfEven(std::int64_t{8192000} * first->bitRate * first->samplesPerFrame,
                                   first->sampleRate)
                : std::int64_t{first->frameLength} * 65536;
        record.frameCount = (record.dataLength + 2) * 65536 / average + 1;
        record.lengthMs = record.frameCount * first->samplesPerFrame * 1000 / first->sampleRate;
        return record.lengthMs;
    }
    return 0;
}

std::int64_t mpegScan(std::span<const std::uint8_t> file, TMpegFrameRecord& record) {
    const std::size_t tail = std::min(file.size(), kId3v1Size);
    return mpegScan(file, static_cast<std::int64_t>(file.size()), file.last(tail), record);
}

std::int64_t mpegScan(Stream& stream, TMpegFrameRecord& record) {
    const std::int64_t size = stream.size();
    std::vector<std::uint8_t> head(static_cast<std::size_t>(
        std::min<std::int64_t>(size, static_cast<std::int64_t>(kMpegScanHeadBytes))));
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(
        std::min<std::int64_t>(size, static_cast<std::int64_t>(kId3v1Size))));
    stream.setPosition(0);
    stream.readBuffer(head.data(), head.size());
    stream.setPosition(size - static_cast<std::int64_t>(tail.size()));
    stream.readBuffer(tail.data(), tail.size());
    stream.setPosition(0);
    return mpegScan(head, size, tail, record);
}

std::array<std::uint8_t, kMpegWaveHeaderSize> mpegWaveHeader(const TMpegFrameRecord& record) {
    if (record.dataLength < 0 ||
        record.dataLength + 62 > std::int64_t{std::numeric_limits<std::uint32_t>::max()})
        throw EAudioReadError("The MPEG data is too large for a RIFF WAVE file.");
    std::array<std::uint8_t, kMpegWaveHeaderSize> h{};
    auto put = [&h](std::size_t at, std::int64_t value, int width) {
        for (int i = 0; i < width; ++i)
            h[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    auto id = [&h](std::size_t at, const char* code) { std::memcpy(&h[at], code, 4); };
    const auto data = record.dataLength;
    id(0, "RIFF");
    put(4, data + 62, 4);
    id(8, "WAVE");
    id(12, "fmt ");
    put(16, 30, 4);
    put(20, 85, 2);
    put(22, record.singleChannel ? 1 : 2, 2);
    put(24, record.sampleRate, 4);
    put(28, std::int64_t{record.bitRate} * 125, 4);
    put(32, 1, 2);
    put(34, 0, 2);
    put(36, 12, 2);
    put(38, 1, 2);
    put(40, record.xingFound ? 0 : record.paddingSeen ? 1 : 2, 4);
    put(44, record.frameLength, 2);
    put(46, 1, 2);
    put(48, 1105, 2);
    id(50, "fact");
    put(54, 4, 4);
    // A stream too short for the codec delay has no samples, not four billion of them.
    const std::int64_t k = record.xingFound ? 2 : 1;
    put(58, std::max<std::int64_t>(0, (record.frameCount - k) * record.samplesPerFrame - 1105), 4);
    id(62, "data");
    put(66, data, 4);
    return h;
}

} // namespace cantorix::audio
