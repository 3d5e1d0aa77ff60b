#include "mp3_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <lame/lame.h>
#include <memory>
#include <stdexcept>
#include <vector>

namespace cantorix::assets::demo {

namespace {

constexpr int kBitrate = 128;
constexpr int kQuality = 5; // LAME's default speed/quality balance
constexpr std::size_t kChunkFrames = 8192;

using Encoder = std::unique_ptr<lame_global_flags, decltype(&lame_close)>;

Encoder openEncoder(std::size_t frames) {
    Encoder gf(lame_init(), &lame_close);
    if (!gf)
        throw std::runtime_error("cannot start the MP3 encoder");
    lame_set_in_samplerate(gf.get(), kSampleRate);
    lame_set_out_samplerate(gf.get(), kSampleRate);
    lame_set_num_channels(gf.get(), 2);
    lame_set_mode(gf.get(), JOINT_STEREO);
    lame_set_brate(gf.get(), kBitrate);
    lame_set_quality(gf.get(), kQuality);
    lame_set_num_samples(gf.get(), static_cast<unsigned long>(frames));
    lame_set_bWriteVbrTag(gf.get(), 1);
    lame_set_write_id3tag_automatic(gf.get(), 0);
    if (lame_init_params(gf.get()) < 0)
        throw std::runtime_error("the MP3 encoder rejects its settings");
    return gf;
}

} // namespace

void writeMp3(const StereoBuffer& audio, const std::filesystem::path& file) {
    Encoder gf = openEncoder(audio.frames());
    std::vector<unsigned char> mp3;
    // LAME's documented worst case for a chunk: 1.25 × samples + 7200 bytes.
    std::vector<unsigned char> chunk(kChunkFrames * 5 / 4 + 7200);
    for (std::size_t first = 0; first < audio.frames(); first += kChunkFrames) {
        const std::size_t count = std::min(kChunkFrames, audio.frames() - first);
        const int written = lame_encode_buffer_ieee_float(gf.get(), audio.left.data() + first,
                                                          audio.right.data() + first, int(count),
                                                          chunk.data(), int(chunk.size()));
        if (written < 0)
            throw std::runtime_error("MP3 encoding failed for " + file.string());
        mp3.insert(mp3.end(), chunk.begin(), chunk.begin() + written);
    }
    const int flushed = lame_encode_flush(gf.get(), chunk.data(), int(chunk.size()));
    if (flushed < 0)
        throw std::runtime_error("MP3 encoding failed for " + file.string());
    mp3.insert(mp3.end(), chunk.begin(), chunk.begin() + flushed);

    // The encoder left room for its info frame at the start; fill it in now the length is known.
    const std::size_t tagSize = lame_get_lametag_frame(gf.get(), chunk.data(), chunk.size());
    if (tagSize == 0 || tagSize > mp3.size())
        throw std::runtime_error("the MP3 encoder gave no info frame for " + file.string());
    std::memcpy(mp3.data(), chunk.data(), tagSize);

    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(mp3.data()), std::streamsize(mp3.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace cantorix::assets::demo
