#pragma once
// Files for the export tests: sine tones as PCM RIFF files in the recording's layout or the
// decoder's, and a short MP3 song encoded through the game's own converter.

#include "audio/audio_convertor.h"
#include "audio/stream.h"
#include "platform/media/codec_manager.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace cantorix::audio::testing {

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Interleaved stereo frames of a sine in both channels.
inline std::vector<std::int16_t> sineFrames(double seconds, std::uint32_t rate, double frequency,
                                            double amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const auto s =
            static_cast<std::int16_t>(amplitude * std::sin(2 * std::numbers::pi * frequency * t));
        samples[2 * i] = samples[2 * i + 1] = s;
    }
    return samples;
}

// A PCM RIFF WAVE file: formatChunk 18 gives the recorder's 46-byte header, 16 the 44-byte one.
inline std::vector<std::uint8_t> pcmWave(const std::vector<std::int16_t>& samples,
                                         std::uint32_t rate = 22050, std::uint16_t channels = 2,
                                         std::uint32_t formatChunk = 18) {
    std::vector<std::uint8_t> out;
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const std::uint32_t blockAlign = channels * 2u;
    for (char c : std::string("RIFF"))
        out.push_back(static_cast<std::uint8_t>(c));
    putLe(out, 4 + 8 + formatChunk + 8 + dataBytes, 4);
    for (char c : std::string("WAVEfmt "))
        out.push_back(static_cast<std::uint8_t>(c));
    putLe(out, formatChunk, 4);
    putLe(out, 1, 2);
    putLe(out, channels, 2);
    putLe(out, rate, 4);
    putLe(out, rate * blockAlign, 4);
    putLe(out, blockAlign, 2);
    putLe(out, 16, 2);
    if (formatChunk == 18)
        putLe(out, 0, 2);
    for (char c : std::string("data"))
        out.push_back(static_cast<std::uint8_t>(c));
    putLe(out, dataBytes, 4);
    for (std::int16_t s : samples)
        putLe(out, static_cast<std::uint16_t>(s), 2);
    return out;
}

// Bare MPEG layer-3 frames of a stereo 44100 Hz tone at 128 kbit/s.
inline std::vector<std::uint8_t> mp3Song(double seconds, double frequency = 440) {
    platform::CodecManager codecs;
    TdeAudioConvertor encoder(codecs);
    encoder.formatIn() = makePcmWaveFormat(44100, 16, 2);
    encoder.formatOut() = makeMpegLayer3WaveFormat(44100, 2, 16000, 2, 417, 1393);
    MemoryStream mp3;
    encoder.setRawOutput(&mp3);
    encoder.open();
    const auto samples = sineFrames(seconds, 44100, frequency, 12000);
    std::vector<std::uint8_t> pcm;
    for (std::int16_t s : samples)
        putLe(pcm, static_cast<std::uint16_t>(s), 2);
    MemoryStream source(std::move(pcm));
    encoder.convert(source);
    encoder.close();
    return mp3.bytes();
}

} // namespace cantorix::audio::testing
