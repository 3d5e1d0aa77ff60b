// Draws the demo video clip, a calm harbour at night (water rippling under a drifting lantern
// glow), and encodes it as Motion JPEG in an AVI file. Run by the build; nothing it writes is
// kept in the source tree. The clip is a seamless loop: its last frame leads into its first.
//
// usage: cantorix_make_demo_video [--mpeg4] OUT.avi
// --mpeg4 writes the same pictures as MPEG-4 with a key frame every 25 frames and B-frames, for
// tests of decoders that must seek to a key frame and decode forward.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kRate = 25;
constexpr int kFrames = 125; // five seconds
constexpr int kHorizon = 200;

struct Rgb {
    double r, g, b;
};

// The picture at a phase of the loop (0 … 2π).
Rgb harbourPixel(int x, int y, double phase) {
    const double v = static_cast<double>(y) / kHeight;
    Rgb c{12 + 18 * v, 22 + 70 * v, 58 + 50 * v};
    if (y > kHorizon) {
        // Water: slow ripples whose crests slide sideways and sway with the phase.
        const double ripple =
            std::sin(2 * std::numbers::pi * x / 160.0 + 2 * phase + 3 * std::sin(y / 23.0 + phase));
        const double depth = static_cast<double>(y - kHorizon) / (kHeight - kHorizon);
        c.g += 16 * ripple * (1 - 0.5 * depth);
        c.b += 22 * ripple * (1 - 0.5 * depth);
    }
    // The lantern glow drifts along the horizon, mirrored softly in the water.
    const double gx = kWidth / 2.0 + 180 * std::sin(phase);
    const double gy = 150 + 20 * std::cos(phase);
    const double dy = y > kHorizon ? (2 * kHorizon - y) - gy : y - gy;
    const double d2 = (x - gx) * (x - gx) + dy * dy;
    const double glow = (y > kHorizon ? 0.45 : 1.0) * std::exp(-d2 / (2 * 55.0 * 55.0));
    c.r += (255 - c.r) * glow;
    c.g += (205 - c.g) * glow;
    c.b += (130 - c.b) * glow;
    return c;
}

std::uint8_t clampByte(double v) {
    return static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

// Full-range BT.601, as JPEG stores it; chroma from the average of each 2 × 2 block.
void fillFrame(AVFrame& frame, int index) {
    const double phase = 2 * std::numbers::pi * index / kFrames;
    std::vector<Rgb> row0(kWidth), row1(kWidth);
    for (int y = 0; y < kHeight; y += 2) {
        for (int x = 0; x < kWidth; ++x) {
            row0[static_cast<std::size_t>(x)] = harbourPixel(x, y, phase);
            row1[static_cast<std::size_t>(x)] = harbourPixel(x, y + 1, phase);
        }
        for (int k = 0; k < 2; ++k) {
            const std::vector<Rgb>& row = k == 0 ? row0 : row1;
            std::uint8_t* luma = frame.data[0] + (y + k) * frame.linesize[0];
            for (int x = 0; x < kWidth; ++x) {
                const Rgb& p = row[static_cast<std::size_t>(x)];
                luma[x] = clampByte(0.299 * p.r + 0.587 * p.g + 0.114 * p.b);
            }
        }
        std::uint8_t* cb = frame.data[1] + (y / 2) * frame.linesize[1];
        std::uint8_t* cr = frame.data[2] + (y / 2) * frame.linesize[2];
        for (int x = 0; x < kWidth; x += 2) {
            Rgb m{0, 0, 0};
            for (const Rgb* p :
                 {&row0[static_cast<std::size_t>(x)], &row0[static_cast<std::size_t>(x + 1)],
                  &row1[static_cast<std::size_t>(x)], &row1[static_cast<std::size_t>(x + 1)]}) {
                m.r += p->r / 4;
                m.g += p->g / 4;
                m.b += p->b / 4;
            }
            cb[x / 2] = clampByte(128 - 0.168736 * m.r - 0.331264 * m.g + 0.5 * m.b);
            cr[x / 2] = clampByte(128 + 0.5 * m.r - 0.418688 * m.g - 0.081312 * m.b);
        }
    }
}

void check(int result, const char* what) {
    if (result < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(result, text, sizeof text);
        throw std::runtime_error(std::string(what) + ": " + text);
    }
}

class AviWriter {
public:
    AviWriter(const std::filesystem::path& file, bool mpeg4) {
        check(avformat_alloc_output_context2(&m_format, nullptr, "avi", file.c_str()), "muxer");
        const AVCodec* encoder =
            avcodec_find_encoder(mpeg4 ? AV_CODEC_ID_MPEG4 : AV_CODEC_ID_MJPEG);
        if (!encoder)
            throw std::runtime_error("no encoder");
        m_stream = avformat_new_stream(m_format, nullptr);
        m_codec = avcodec_alloc_context3(encoder);
        if (!m_stream || !m_codec)
            throw std::runtime_error("out of memory");
        m_codec->width = kWidth;
        m_codec->height = kHeight;
        m_codec->time_base = {1, kRate};
        m_codec->framerate = {kRate, 1};
        m_codec->pix_fmt = mpeg4 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUVJ420P;
        m_codec->color_range = AVCOL_RANGE_JPEG;
        if (mpeg4) {
            m_codec->gop_size = 25;
            m_codec->max_b_frames = 2;
        }
        m_codec->flags |= AV_CODEC_FLAG_QSCALE;
        m_codec->global_quality = FF_QP2LAMBDA * 4;
        check(avcodec_open2(m_codec, encoder, nullptr), "encoder");
        check(avcodec_parameters_from_context(m_stream->codecpar, m_codec), "stream");
        m_stream->time_base = m_codec->time_base;
        check(avio_open(&m_format->pb, file.c_str(), AVIO_FLAG_WRITE), "open");
        check(avformat_write_header(m_format, nullptr), "header");
        m_packet = av_packet_alloc();
        if (!m_packet)
            throw std::runtime_error("out of memory");
    }
    ~AviWriter() {
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
        if (m_format && m_format->pb)
            avio_closep(&m_format->pb);
        avformat_free_context(m_format);
    }
    void write(AVFrame* frame) {
        check(avcodec_send_frame(m_codec, frame), "encode");
        while (avcodec_receive_packet(m_codec, m_packet) == 0) {
            av_packet_rescale_ts(m_packet, m_codec->time_base, m_stream->time_base);
            m_packet->stream_index = m_stream->index;
            check(av_interleaved_write_frame(m_format, m_packet), "write");
        }
    }
    void finish() {
        write(nullptr);
        check(av_write_trailer(m_format), "trailer");
    }

private:
    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
};

void writeClip(const std::filesystem::path& file, bool mpeg4) {
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    const std::filesystem::path partial = file.string() + ".part";
    {
        AviWriter writer(partial, mpeg4);
        AVFrame* frame = av_frame_alloc();
        if (!frame)
            throw std::runtime_error("out of memory");
        frame->format = mpeg4 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUVJ420P;
        frame->width = kWidth;
        frame->height = kHeight;
        frame->color_range = AVCOL_RANGE_JPEG;
        check(av_frame_get_buffer(frame, 0), "frame");
        for (int i = 0; i < kFrames; ++i) {
            check(av_frame_make_writable(frame), "frame");
            fillFrame(*frame, i);
            frame->pts = i;
            writer.write(frame);
        }
        av_frame_free(&frame);
        writer.finish();
    }
    // Only a whole clip takes the real name, so an interrupted build draws it again.
    std::filesystem::rename(partial, file);
}

} // namespace

int main(int argc, char** argv) {
    const bool mpeg4 = argc == 3 && std::string(argv[1]) == "--mpeg4";
    if (argc != (mpeg4 ? 3 : 2)) {
        std::fprintf(stderr, "usage: %s [--mpeg4] OUT.avi\n", argv[0]);
        return 2;
    }
    try {
        writeClip(argv[argc - 1], mpeg4);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_demo_video: %s\n", e.what());
        return 1;
    }
    return 0;
}
