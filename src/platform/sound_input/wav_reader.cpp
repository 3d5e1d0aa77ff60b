#include "wav_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

namespace cantorix::platform {

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
constexpr std::uint32_t kMinSampleRate = 1000;
constexpr std::uint32_t kMaxSampleRate = 1'000'000;
// Bytes 2 … 15 of the extensible format's sub-format identifier, shared by PCM and float.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint32_t u16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const std::uint8_t* p) {
    return u16(p) | (u16(p + 2) << 16);
}

[[noreturn]] void fail(const std::string& message) {
    throw EWavError(message);
}

// A chunk identifier for a message; bytes that are not printable show as '?'.
std::string chunkName(const std::uint8_t* id) {
    std::string name = "'";
    for (int i = 0; i < 4; ++i)
        name += (id[i] >= 0x20 && id[i] < 0x7f) ? static_cast<char>(id[i]) : '?';
    return name + "'";
}

bool isId(const std::uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

WavInfo parseFormat(const std::uint8_t* body, std::size_t size) {
    if (size < 16)
        fail("'fmt ' chunk too short (" + std::to_string(size) + " bytes)");
    WavInfo info;
    std::uint32_t tag = u16(body);
    info.channels = static_cast<std::uint16_t>(u16(body + 2));
    info.sampleRate = u32(body + 4);
    info.blockAlign = static_cast<std::uint16_t>(u16(body + 12));
    info.bitsPerSample = static_cast<std::uint16_t>(u16(body + 14));
    if (tag == kTagExtensible) {
        if (size < 40)
            fail("extensible 'fmt ' chunk too short (" + std::to_string(size) + " bytes)");
        if (std::memcmp(body + 26, kSubFormatTail, sizeof kSubFormatTail) != 0)
            fail("unsupported extensible sub-format");
        tag = u16(body + 24);
    }
    if (tag == kTagPcm)
        info.encoding = WavInfo::Encoding::Integer;
    else if (tag == kTagFloat)
        info.encoding = WavInfo::Encoding::Float;
    else
        fail("unsupported sample encoding (format tag " + std::to_string(tag) + ")");

    if (info.channels == 0)
        fail("the file has no channels");
    if (info.sampleRate < kMinSampleRate || info.sampleRate > kMaxSampleRate)
        fail("unsupported sample rate " + std::to_string(info.sampleRate) + " Hz");
    const std::uint16_t bits = info.bitsPerSample;
    const bool intOk = bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (info.encoding == WavInfo::Encoding::Float ? bits != 32 : !intOk)
        fail("unsupported sample size of " + std::to_string(bits) + " bits" +
             (info.encoding == WavInfo::Encoding::Float ? " for float samples" : ""));
    if (static_cast<std::uint32_t>(info.blockAlign) != info.channels * (bits / 8u))
        fail("block align " + std::to_string(info.blockAlign) + " does not match " +
             std::to_string(info.channels) + " channels of " + std::to_string(bits) + " bits");
    return info;
}

// The most of a format chunk parseFormat reads: the extensible format's 40 bytes.
constexpr std::size_t kFormatBytesRead = 40;

struct DataChunk {
    std::size_t offset = 0;
    std::size_t size = 0;
};

} // namespace

WavInfo parseWav(const std::uint8_t* data, std::size_t size) {
    return parseWavHeader(
        [data, size](std::size_t offset, std::size_t count, std::uint8_t* out) {
            const std::size_t copied = offset < size ? std::min(count, size - offset) : 0;
            if (copied > 0)
                std::memcpy(out, data + offset, copied);
            return copied;
        },
        size);
}

WavInfo parseWavHeader(const WavByteReader& read, std::size_t size) {
    std::uint8_t header[kFormatBytesRead];
    if (size < 12 || read(0, 12, header) != 12)
        fail("not a WAV file (too short)");
    if (isId(header, "RIFX") || isId(header, "RF64"))
        fail("unsupported RIFF variant " + chunkName(header));
    if (!isId(header, "RIFF") || !isId(header + 8, "WAVE"))
        fail("not a WAV file (no RIFF/WAVE header)");

    std::optional<WavInfo> format;
    std::optional<DataChunk> samples;
    std::size_t at = 12;
    while (size - at >= 8) {
        if (read(at, 8, header) != 8)
            break; // what cannot be read counts as the end of the file
        const std::size_t chunkSize = u32(header + 4);
        const std::size_t left = size - at - 8;
        const bool complete = chunkSize <= left;
        if (isId(header, "fmt ")) {
            if (format)
                fail("more than one 'fmt ' chunk");
            if (!complete)
                fail("truncated 'fmt ' chunk");
            // Only the first 40 bytes mean anything; the size still decides what is expected.
            const std::size_t wanted = std::min(chunkSize, kFormatBytesRead);
            if (read(at + 8, wanted, header) != wanted)
                fail("truncated 'fmt ' chunk");
            format = parseFormat(header, chunkSize);
        } else if (isId(header, "data")) {
            if (!samples)
                samples = DataChunk{at + 8, complete ? chunkSize : left};
        } else if (!complete) {
            if (format && samples)
                break; // cut-off trailing metadata does not spoil the sound
            fail("truncated " + chunkName(header) + " chunk");
        }
        if (!complete)
            break;
        // Chunks are padded to even sizes; the last pad byte may be missing.
        at += 8 + chunkSize + (chunkSize & 1);
        if (at > size)
            break;
    }
    if (!format)
        fail("no 'fmt ' chunk");
    if (!samples)
        fail("no 'data' chunk");
    WavInfo info = *format;
    info.dataOffset = samples->offset;
    info.frameCount = samples->size / info.blockAlign;
    return info;
}

namespace {

float sampleAt(const WavInfo& info, const std::uint8_t* p) {
    if (info.encoding == WavInfo::Encoding::Float) {
        float value = 0;
        const std::uint32_t bits = u32(p);
        std::memcpy(&value, &bits, sizeof value);
        return std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
    }
    switch (info.bitsPerSample) {
    case 8:
        return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16:
        return static_cast<float>(static_cast<std::int16_t>(u16(p))) / 32768.0f;
    case 24: {
        const std::uint32_t raw = u16(p) | (static_cast<std::uint32_t>(p[2]) << 16);
        // Shift the sign bit to the top, then back down arithmetically.
        const auto value = static_cast<std::int32_t>(raw << 8) >> 8;
        return static_cast<float>(value) / 8388608.0f;
    }
    default:
        return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(u32(p))) /
                                  2147483648.0);
    }
}

} // namespace

void decodeMonoFrames(const WavInfo& info, const std::uint8_t* data, std::size_t size,
                      std::size_t first, std::size_t count, float* out) {
    if (info.blockAlign == 0 || info.channels == 0 || first > info.frameCount ||
        count > info.frameCount - first || info.dataOffset > size ||
        info.frameCount > (size - info.dataOffset) / info.blockAlign)
        throw EWavError("frames outside the file");
    decodeMonoSamples(info, data + info.dataOffset + first * info.blockAlign, count, out);
}

void decodeMonoSamples(const WavInfo& info, const std::uint8_t* frames, std::size_t count,
                       float* out) {
    const std::size_t sampleBytes = info.bitsPerSample / 8u;
    const std::uint8_t* frame = frames;
    for (std::size_t i = 0; i < count; ++i, frame += info.blockAlign) {
        double sum = 0;
        for (std::size_t c = 0; c < info.channels; ++c)
            sum += sampleAt(info, frame + c * sampleBytes);
        out[i] = static_cast<float>(sum / info.channels);
    }
}

void decodeChannelSamples(const WavInfo& info, const std::uint8_t* frames, std::size_t count,
                          int channel, float* out) {
    if (channel < 0 || channel >= info.channels)
        throw EWavError("no channel " + std::to_string(channel) + " in a file of " +
                        std::to_string(info.channels) + " channels");
    const std::size_t sampleBytes = info.bitsPerSample / 8u;
    const std::uint8_t* sample = frames + static_cast<std::size_t>(channel) * sampleBytes;
    for (std::size_t i = 0; i < count; ++i, sample += info.blockAlign)
        out[i] = sampleAt(info, sample);
}

} // namespace cantorix::platform
