#include "ogg_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <stdexcept>
#include <string>

namespace cantorix::assets::demo {

namespace {

constexpr int kRate = 44100;

// The encoder, the muxer and their buffers, freed whatever happens.
struct Encoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVStream* stream = nullptr;

    ~Encoding() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    void check(int result, const char* what) const {
        if (result < 0)
            throw std::runtime_error(std::string("Ogg Vorbis encoding: ") + what + " failed");
    }

    void open(const std::filesystem::path& file) {
        const AVCodec* vorbis = avcodec_find_encoder_by_name("libvorbis");
        if (!vorbis)
            throw std::runtime_error("Ogg Vorbis encoding: no libvorbis encoder in libavcodec");
        check(avformat_alloc_output_context2(&format, nullptr, "ogg", file.c_str()), "muxer");
        stream = avformat_new_stream(format, nullptr);
        codec = avcodec_alloc_context3(vorbis);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (!stream || !codec || !frame || !packet)
            throw std::runtime_error("Ogg Vorbis encoding: out of memory");
        codec->sample_rate = kRate;
        codec->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
        codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
        codec->bit_rate = 128000;
        codec->time_base = AVRational{1, kRate};
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        check(avcodec_open2(codec, vorbis, nullptr), "opening the encoder");
        check(avcodec_parameters_from_context(stream->codecpar, codec), "stream parameters");
        stream->time_base = codec->time_base;
        check(avio_open(&format->pb, file.c_str(), AVIO_FLAG_WRITE), "creating the file");
        check(avformat_write_header(format, nullptr), "writing the header");
    }

    // Hands a frame (null at the end) to the encoder and writes every packet it gives back.
    void encode(const AVFrame* input) {
        check(avcodec_send_frame(codec, input), "encoding");
        for (;;) {
            const int received = avcodec_receive_packet(codec, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return;
            check(received, "encoding");
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(format, packet), "writing");
        }
    }
};

} // namespace

void writeOggVorbis(const StereoBuffer& audio, const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::path partial = file;
    partial += ".part";
    {
        Encoding encoding;
        encoding.open(partial);
        const std::size_t block = encoding.codec->frame_size > 0
                                      ? static_cast<std::size_t>(encoding.codec->frame_size)
                                      : 1024;
        for (std::size_t at = 0; at < audio.frames(); at += block) {
            const std::size_t n = std::min(block, audio.frames() - at);
            AVFrame* frame = encoding.frame;
            av_frame_unref(frame);
            frame->nb_samples = static_cast<int>(n);
            frame->format = AV_SAMPLE_FMT_FLTP;
            frame->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
            frame->sample_rate = kRate;
            encoding.check(av_frame_get_buffer(frame, 0), "a frame buffer");
            std::copy_n(audio.left.begin() + long(at), n, reinterpret_cast<float*>(frame->data[0]));
            std::copy_n(audio.right.begin() + long(at), n,
                        reinterpret_cast<float*>(frame->data[1]));
            frame->pts = static_cast<std::int64_t>(at);
            encoding.encode(frame);
        }
        encoding.encode(nullptr);
        encoding.check(av_write_trailer(encoding.format), "finishing the file");
    }
    std::filesystem::rename(partial, file);
}

} // namespace cantorix::assets::demo
