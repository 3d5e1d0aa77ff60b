#include "ffmpeg_video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

namespace cantorix::platform {

namespace {

constexpr int kIoBufferSize = 64 * 1024;

// Where the demuxer's bytes come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int read(std::uint8_t* buffer, int size) = 0;    // bytes read, 0 at the end
    virtual std::int64_t seek(std::int64_t offset, int whence) = 0; // new position, −1 on failure
    virtual std::int64_t size() const = 0;
};

class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : m_file(file) {
        if (std::fseek(m_file, 0, SEEK_END) == 0)
            m_size = ::ftello(m_file);
        std::fseek(m_file, 0, SEEK_SET);
    }
    ~FileSource() override { std::fclose(m_file); }
    int read(std::uint8_t* buffer, int size) override {
        return static_cast<int>(std::fread(buffer, 1, static_cast<std::size_t>(size), m_file));
    }
    std::int64_t seek(std::int64_t offset, int whence) override {
        if (::fseeko(m_file, static_cast<off_t>(offset), whence) != 0)
            return -1;
        return ::ftello(m_file);
    }
    std::int64_t size() const override { return m_size; }

private:
    std::FILE* m_file;
    std::int64_t m_size = -1;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    int read(std::uint8_t* buffer, int size) override {
        const std::size_t n = std::min(static_cast<std::size_t>(size), m_size - m_position);
        if (n > 0)
            std::memcpy(buffer, m_data + m_position, n);
        m_position += n;
        return static_cast<int>(n);
    }
    std::int64_t seek(std::int64_t offset, int whence) override {
        std::int64_t base = 0;
        if (whence == SEEK_CUR)
            base = static_cast<std::int64_t>(m_position);
        else if (whence == SEEK_END)
            base = static_cast<std::int64_t>(m_size);
        if (offset > std::numeric_limits<std::int64_t>::max() - base)
            return -1;
        const std::int64_t target = base + offset;
        if (target < 0 || target > static_cast<std::int64_t>(m_size))
            return -1;
        m_position = static_cast<std::size_t>(target);
        return target;
    }
    std::int64_t size() const override { return static_cast<std::int64_t>(m_size); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

int readPacket(void* opaque, std::uint8_t* buffer, int size) {
    const int n = static_cast<ByteSource*>(opaque)->read(buffer, size);
    return n > 0 ? n : AVERROR_EOF;
}

std::int64_t seekSource(void* opaque, std::int64_t offset, int whence) {
    auto* source = static_cast<ByteSource*>(opaque);
    if (whence & AVSEEK_SIZE)
        return source->size();
    whence &= ~AVSEEK_FORCE;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return -1;
    return source->seek(offset, whence);
}

// Full-range ("J") YUV formats carry their range in the format; swscale wants it as a flag.
AVPixelFormat withoutRange(AVPixelFormat format, bool& fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

} // namespace

struct FfmpegVideoDecoder::Clip {
    std::unique_ptr<ByteSource> source;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* decoded = nullptr;
    int stream = -1;
    session::VideoStreamInfo info;
    // The frame sequential decoding yields next; −1 when unknown (after a failure).
    std::int64_t nextIndex = 0;
    // A frame decoded ahead of the one asked for: AVI's empty chunks repeat the frame before.
    AVFrame* pending = nullptr;
    std::int64_t pendingIndex = -1;
    bool flushed = false; // the decoder has been told the stream ended
    std::int64_t lastIndex = -1; // of the frame decoded last

    ~Clip() {
        av_frame_free(&pending);
        av_frame_free(&decoded);
        av_packet_free(&packet);
        sws_freeContext(scaler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    bool open();
    bool openCodec();
    bool seekTo(std::int64_t index);
    // Decodes the next frame of the stream into `decoded`: its index, or −1 at the end or on
    // a failure that ends decoding.
    std::int64_t decodeNext();
    bool convert(const AVFrame& picture, session::VideoFrame& out);
};

bool FfmpegVideoDecoder::Clip::open() {
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer)
        return false;
    io = avio_alloc_context(buffer, kIoBufferSize, 0, source.get(), readPacket, nullptr, seekSource);
    if (!io) {
        av_free(buffer);
        return false;
    }
    format = avformat_alloc_context();
    if (!format)
        return false;
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The clip is an AVI file: no other demuxer is tried on its bytes.
    if (avformat_open_input(&format, nullptr, av_find_input_format("avi"), nullptr) < 0)
        return false; // the context is freed and nulled by the failure
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* s = format->streams[i];
        if (stream < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            stream = static_cast<int>(i);
        else
            s->discard = AVDISCARD_ALL;
    }
    if (stream < 0)
        return false;
    return openCodec();
}

bool FfmpegVideoDecoder::Clip::openCodec() {
    AVStream* s = format->streams[stream];
    const AVCodecParameters* par = s->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > kMaxSide || par->height > kMaxSide)
        return false;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder)
        return false;
    codec = avcodec_alloc_context3(decoder);
    if (!codec || avcodec_parameters_to_context(codec, par) < 0)
        return false;
    // One thread: frames are asked for one at a time and must come back at once.
    codec->thread_count = 1;
    if (avcodec_open2(codec, decoder, nullptr) < 0)
        return false;
    packet = av_packet_alloc();
    decoded = av_frame_alloc();
    pending = av_frame_alloc();
    if (!packet || !decoded || !pending)
        return false;
    // The stream header's rate and scale (as FFmpeg keeps them, in lowest terms).
    info.rate = s->time_base.den > 0 ? static_cast<std::uint32_t>(s->time_base.den) : 0;
    info.scale = s->time_base.num > 0 ? static_cast<std::uint32_t>(s->time_base.num) : 0;
    info.start = 0;
    info.length = s->nb_frames > 0 ? s->nb_frames : std::max<std::int64_t>(s->duration, 0);
    info.width = par->width;
    info.height = par->height;
    return true;
}

bool FfmpegVideoDecoder::Clip::seekTo(std::int64_t index) {
    pendingIndex = -1;
    if (av_seek_frame(format, stream, index, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(format, stream, 0, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(codec);
    flushed = false;
    return true;
}

std::int64_t FfmpegVideoDecoder::Clip::decodeNext() {
    for (;;) {
        const int received = avcodec_receive_frame(codec, decoded);
        if (received == 0) {
            // AVI stamps each chunk with its place in the file, and a decoder that reorders
            // frames hands a picture out only `has_b_frames` chunks later, under that later
            // stamp; the frames flushed at the end carry none and follow on.
            const std::int64_t t = decoded->best_effort_timestamp;
            lastIndex = t == AV_NOPTS_VALUE ? lastIndex + 1 : t - codec->has_b_frames;
            return lastIndex;
        }
        if (received != AVERROR(EAGAIN))
            return -1; // the end of the stream, or a decoder that gave up
        if (av_read_frame(format, packet) < 0) {
            if (flushed)
                return -1;
            flushed = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (packet->stream_index == stream)
            avcodec_send_packet(codec, packet); // a broken packet is skipped
        av_packet_unref(packet);
    }
}

bool FfmpegVideoDecoder::Clip::convert(const AVFrame& picture, session::VideoFrame& out) {
    if (picture.width <= 0 || picture.height <= 0 || picture.width > kMaxSide ||
        picture.height > kMaxSide || picture.format < 0)
        return false;
    bool fullRange = picture.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat from = withoutRange(static_cast<AVPixelFormat>(picture.format), fullRange);
    scaler = sws_getCachedContext(scaler, picture.width, picture.height, from, info.width,
                                  info.height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr,
                                  nullptr);
    if (!scaler)
        return false;
    const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(scaler, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16,
                             1 << 16);
    const std::size_t stride = session::VideoFrame::strideOf(info.width);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(info.height));
    // Written from the last row up with a negative stride: the rows come out bottom-up.
    std::uint8_t* planes[4] = {rows.data() + stride * static_cast<std::size_t>(info.height - 1)};
    const int strides[4] = {-static_cast<int>(stride)};
    if (sws_scale(scaler, picture.data, picture.linesize, 0, picture.height, planes, strides) !=
        info.height)
        return false;
    out.width = info.width;
    out.height = info.height;
    out.rows = std::move(rows);
    return true;
}

FfmpegVideoDecoder::FfmpegVideoDecoder() {
    // A bad clip shows no picture and says nothing: the library must not say it either.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
}

FfmpegVideoDecoder::~FfmpegVideoDecoder() = default;

bool FfmpegVideoDecoder::open(const std::filesystem::path& file) {
    close();
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return false;
    auto clip = std::make_unique<Clip>();
    clip->source = std::make_unique<FileSource>(f);
    return openClip(std::move(clip));
}

bool FfmpegVideoDecoder::openMemory(const std::uint8_t* data, std::size_t size) {
    close();
    auto clip = std::make_unique<Clip>();
    clip->source = std::make_unique<MemorySource>(data, size);
    return openClip(std::move(clip));
}

bool FfmpegVideoDecoder::openClip(std::unique_ptr<Clip> clip) {
    if (!clip->open())
        return false;
    m_clip = std::move(clip);
    return true;
}

void FfmpegVideoDecoder::close() {
    m_clip.reset();
}

session::VideoStreamInfo FfmpegVideoDecoder::info() const {
    return m_clip ? m_clip->info : session::VideoStreamInfo{};
}

bool FfmpegVideoDecoder::frame(std::int64_t index, session::VideoFrame& frame) {
    Clip* c = m_clip.get();
    if (!c || index < 0 || (c->info.length > 0 && index >= c->info.length))
        return false;
    if (c->pendingIndex >= 0) {
        if (index == c->pendingIndex) {
            c->pendingIndex = -1;
            c->nextIndex = index + 1;
            return c->convert(*c->pending, frame);
        }
        if (index >= c->nextIndex && index < c->pendingIndex) {
            c->nextIndex = index + 1; // a repeat of the frame before: nothing new to show
            return false;
        }
        c->pendingIndex = -1;
    }
    if (index != c->nextIndex && !c->seekTo(index)) {
        c->nextIndex = -1;
        return false;
    }
    for (;;) {
        const std::int64_t got = c->decodeNext();
        if (got < 0) {
            c->nextIndex = -1;
            return false;
        }
        if (got < index)
            continue;
        c->nextIndex = index + 1;
        if (got == index)
            return c->convert(*c->decoded, frame);
        av_frame_unref(c->pending);
        av_frame_move_ref(c->pending, c->decoded);
        c->pendingIndex = got;
        return false;
    }
}

} // namespace cantorix::platform
