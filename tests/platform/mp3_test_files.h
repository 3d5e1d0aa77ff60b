#pragma once
// MP3 files for the tests, encoded on the spot with LAME: a sine tone of a chosen rate, channel
// count and length, with or without the tag frame that states encoder delay and padding.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <lame/lame.h>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace cantorix::testing {

struct Mp3Spec {
    int rate = 44100;
    int channels = 2;
    int frames = 66150; // 1.5 s at 44.1 kHz
    bool tagged = true; // with the tag frame, decoders can drop delay and padding exactly
    double frequency = 440.0;
};

inline std::vector<unsigned char> encodeMp3(const Mp3Spec& params) {
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, params.rate);
    lame_set_out_samplerate(lame, params.rate);
    lame_set_num_channels(lame, params.channels);
    lame_set_mode(lame, params.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_num_samples(lame, static_cast<unsigned long>(params.frames));
    lame_set_bWriteVbrTag(lame, params.tagged ? 1 : 0);
    lame_set_brate(lame, 128); // at low bit rates the tag does not fit into a frame
    lame_set_quality(lame, 7);
    if (lame_init_params(lame) < 0)
        throw std::runtime_error("LAME refuses the test parameters");
    std::vector<float> tone(static_cast<std::size_t>(params.frames));
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * params.frequency * double(i) / params.rate));
    std::vector<unsigned char> mp3(tone.size() * 5 / 4 + 7200 + 16384);
    const int written = lame_encode_buffer_ieee_float(lame, tone.data(), tone.data(), params.frames,
                                                      mp3.data(), static_cast<int>(mp3.size()));
    const int flushed =
        lame_encode_flush(lame, mp3.data() + written, static_cast<int>(mp3.size()) - written);
    mp3.resize(static_cast<std::size_t>(written + flushed));
    if (params.tagged) {
        // The tag frame is reserved at the start of the stream and completed at the end.
        std::vector<unsigned char> tag(4096);
        const std::size_t size = lame_get_lametag_frame(lame, tag.data(), tag.size());
        std::copy(tag.begin(), tag.begin() + static_cast<long>(size), mp3.begin());
    }
    lame_close(lame);
    return mp3;
}

inline void writeBytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::filesystem::path writeMp3(const std::filesystem::path& file,
                                      const Mp3Spec& params = {}) {
    writeBytes(file, encodeMp3(params));
    return file;
}

// A scratch directory of its own for each test, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "cantorix-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary directory");
        m_path = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

} // namespace cantorix::testing
