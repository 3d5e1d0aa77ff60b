#include "ffmpeg_song_decoder.h"

#include "base/regular_file.h"
#include "ffmpeg_audio_decoder.h"
#include "ffmpeg_input.h"
#include "songs/media_player_port.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdio>
#include <vector>

namespace cantorix::platform {

namespace {

constexpr std::size_t kBlockFrames = 4096;

bool isMpegAudio(AVCodecID codec) {
    return codec == AV_CODEC_ID_MP1 || codec == AV_CODEC_ID_MP2 || codec == AV_CODEC_ID_MP3;
}

class ConvertedSource : public audio::PcmSource {
public:
    ConvertedSource(const std::filesystem::path& song, int rate, int channels)
        : m_decoder(song), m_input(kBlockFrames * 2) {
        AVChannelLayout in = AV_CHANNEL_LAYOUT_STEREO;
        AVChannelLayout out;
        av_channel_layout_default(&out, channels);
        if (swr_alloc_set_opts2(&m_converter, &out, AV_SAMPLE_FMT_S16, rate, &in, AV_SAMPLE_FMT_FLT,
                                m_decoder.sampleRate(), 0, nullptr) < 0 ||
            swr_init(m_converter) < 0) {
            swr_free(&m_converter);
            throw audio::ESongAudioError("Cannot convert the song file '" + song.string() +
                                         "' to the mix's format.");
        }
        m_expected =
            av_rescale_rnd(m_decoder.lengthFrames(), rate, m_decoder.sampleRate(), AV_ROUND_DOWN);
    }
    ~ConvertedSource() override { swr_free(&m_converter); }
    ConvertedSource(const ConvertedSource&) = delete;
    ConvertedSource& operator=(const ConvertedSource&) = delete;

    std::size_t read(std::int16_t* out, std::size_t maxFrames) override {
        auto* target = reinterpret_cast<std::uint8_t*>(out);
        const int limit = static_cast<int>(std::min<std::size_t>(maxFrames, 1 << 20));
        // A null input drains the converter's filter, which only the end of the song may do;
        // an input of no frames just hands out what it holds.
        const std::uint8_t* noFrames[1] = {nullptr};
        for (;;) {
            const int held =
                swr_convert(m_converter, &target, limit, m_drained ? nullptr : noFrames, 0);
            if (held != 0 || m_drained)
                return static_cast<std::size_t>(std::max(held, 0));
            const std::size_t frames = m_decoder.read(m_input.data(), kBlockFrames);
            if (frames == 0) {
                m_drained = true;
                continue;
            }
            const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(m_input.data())};
            const int converted =
                swr_convert(m_converter, &target, limit, source, static_cast<int>(frames));
            if (converted != 0)
                return static_cast<std::size_t>(std::max(converted, 0));
        }
    }
    std::int64_t expectedFrames() const override { return m_expected; }

private:
    FfmpegAudioDecoder m_decoder;
    SwrContext* m_converter = nullptr;
    std::vector<float> m_input;
    std::int64_t m_expected = 0;
    bool m_drained = false;
};

} // namespace

bool FfmpegSongDecoder::takes(const std::filesystem::path& song) {
    std::string reason; // the export's open() says why a song cannot be decoded
    std::FILE* file = base::openRegularStdioFile(song, reason);
    if (!file)
        return false;
    const std::unique_ptr<FfmpegInput> input = FfmpegInput::openAudioContainer(file, reason);
    if (!input)
        return false;
    bool undecodable = false;
    const int stream = input->chooseStream(FfmpegInput::StreamKind::Audio, undecodable);
    return stream >= 0 && !isMpegAudio(input->format()->streams[stream]->codecpar->codec_id);
}

std::unique_ptr<audio::PcmSource> FfmpegSongDecoder::open(const std::filesystem::path& song,
                                                          int rate, int channels) {
    try {
        return std::make_unique<ConvertedSource>(song, rate, channels);
    } catch (const songs::EMediaPlayerError& error) {
        // The player's reason, in the export's words.
        std::string reason = error.what();
        const auto colon = reason.find("': ");
        reason = colon == std::string::npos ? reason : reason.substr(colon + 3);
        throw audio::ESongAudioError("Cannot decode the song file '" + song.string() +
                                     "': " + reason + ".");
    }
}

} // namespace cantorix::platform
