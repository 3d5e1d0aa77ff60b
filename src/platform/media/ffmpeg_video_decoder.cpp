#include "ffmpeg_video_decoder.h"

#include "ffmpeg_input.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace cantorix::platform {

namespace {

constexpr std::size_t kScalerSlack = 64;

// A still picture is not a clip, even where FFmpeg reads it as a stream of one frame.
bool isPictureDemuxer(std::string_view name) {
    return name == "image2" || (name.size() > 5 && name.substr(name.size() - 5) == "_pipe");
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
    std::unique_ptr<FfmpegInput> input;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* decoded = nullptr;
    int stream = -1;
    // AVI numbers its chunks, and its time stamps are frame indices. Other containers stamp
    // frames with times: an index is the time in frames of `frameRate` since `startStamp`.
    bool avi = false;
    AVRational frameRate{0, 1};
    std::int64_t startStamp = 0;
    session::VideoStreamInfo info;
    // The frame sequential decoding yields next; −1 when unknown (after a failure).
    std::int64_t nextIndex = 0;
    // A frame decoded ahead of the one asked for: AVI's empty chunks repeat the frame before.
    AVFrame* pending = nullptr;
    std::int64_t pendingIndex = -1;
    bool flushed = false;        // the decoder has been told the stream ended
    std::int64_t lastIndex = -1; // of the frame decoded last

    ~Clip() {
        av_frame_free(&pending);
        av_frame_free(&decoded);
        av_packet_free(&packet);
        sws_freeContext(scaler);
        avcodec_free_context(&codec);
    }

    bool open();
    void takeTimes(const AVStream& s);
    std::int64_t indexOfStamp(std::int64_t stamp) const;
    std::int64_t stampOfIndex(std::int64_t index) const;
    bool openCodec();
    bool seekTo(std::int64_t index);
    // Decodes the next frame of the stream into `decoded`: its index, or −1 at the end or on
    // a failure that ends decoding.
    std::int64_t decodeNext();
    bool convert(const AVFrame& picture, session::VideoFrame& out);
};

bool FfmpegVideoDecoder::Clip::open() {
    if (!input)
        return false;
    format = input->format();
    if (isPictureDemuxer(input->demuxerName()))
        return false;
    avi = std::strcmp(input->demuxerName(), "avi") == 0;
    // An AVI header states all the plane needs; other containers may leave the frame rate to
    // be found in the stream.
    if (!avi && !input->findStreamInfo())
        return false;
    bool undecodable = false;
    stream = input->chooseStream(FfmpegInput::StreamKind::Video, undecodable);
    if (stream < 0)
        return false;
    return openCodec();
}

bool FfmpegVideoDecoder::Clip::openCodec() {
    AVStream* s = format->streams[stream];
    const AVCodecParameters* par = s->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > kMaxSide || par->height > kMaxSide)
        return false;
    // One thread: frames are asked for one at a time and must come back at once.
    codec = input->openDecoder(stream, 1);
    if (!codec)
        return false;
    packet = av_packet_alloc();
    decoded = av_frame_alloc();
    pending = av_frame_alloc();
    if (!packet || !decoded || !pending)
        return false;
    takeTimes(*s);
    info.start = 0;
    info.width = par->width;
    info.height = par->height;
    return true;
}

void FfmpegVideoDecoder::Clip::takeTimes(const AVStream& s) {
    if (avi) {
        // The stream header's rate and scale (as FFmpeg keeps them, in lowest terms).
        info.rate = s.time_base.den > 0 ? static_cast<std::uint32_t>(s.time_base.den) : 0;
        info.scale = s.time_base.num > 0 ? static_cast<std::uint32_t>(s.time_base.num) : 0;
        info.length = s.nb_frames > 0 ? s.nb_frames : std::max<std::int64_t>(s.duration, 0);
        return;
    }
    frameRate =
        s.avg_frame_rate.num > 0 && s.avg_frame_rate.den > 0 ? s.avg_frame_rate : s.r_frame_rate;
    if (frameRate.num <= 0 || frameRate.den <= 0)
        frameRate = AVRational{25, 1}; // a stream that states no rate at all plays at PAL's
    info.rate = static_cast<std::uint32_t>(frameRate.num);
    info.scale = static_cast<std::uint32_t>(frameRate.den);
    startStamp = s.start_time != AV_NOPTS_VALUE ? s.start_time : 0;
    double seconds = 0;
    if (s.duration != AV_NOPTS_VALUE && s.duration > 0)
        seconds = static_cast<double>(s.duration) * av_q2d(s.time_base);
    else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    info.length = s.nb_frames > 0
                      ? s.nb_frames
                      : static_cast<std::int64_t>(std::llround(seconds * av_q2d(frameRate)));
}

std::int64_t FfmpegVideoDecoder::Clip::indexOfStamp(std::int64_t stamp) const {
    const AVRational perFrame{frameRate.den, frameRate.num};
    return av_rescale_q_rnd(stamp - startStamp, format->streams[stream]->time_base, perFrame,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

std::int64_t FfmpegVideoDecoder::Clip::stampOfIndex(std::int64_t index) const {
    if (avi)
        return index;
    const AVRational perFrame{frameRate.den, frameRate.num};
    return startStamp + av_rescale_q(index, perFrame, format->streams[stream]->time_base);
}

bool FfmpegVideoDecoder::Clip::seekTo(std::int64_t index) {
    pendingIndex = -1;
    if (av_seek_frame(format, stream, stampOfIndex(index), AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(format, stream, stampOfIndex(0), AVSEEK_FLAG_BACKWARD) < 0)
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
            if (t == AV_NOPTS_VALUE)
                lastIndex = lastIndex + 1;
            else
                lastIndex = avi ? t - codec->has_b_frames : indexOfStamp(t);
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
    scaler =
        sws_getCachedContext(scaler, picture.width, picture.height, from, info.width, info.height,
                             AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler)
        return false;
    const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(scaler, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16,
                             1 << 16);
    const std::size_t stride = session::VideoFrame::strideOf(info.width);
    const std::size_t size = stride * static_cast<std::size_t>(info.height);
    // swscale may write a few bytes past the end of a row; the first row it writes is the
    // last of the buffer, so room is left behind it.
    std::vector<std::uint8_t> rows(size + kScalerSlack);
    // Written from the last row up with a negative stride: the rows come out bottom-up.
    std::uint8_t* planes[4] = {rows.data() + stride * static_cast<std::size_t>(info.height - 1)};
    const int strides[4] = {-static_cast<int>(stride)};
    if (sws_scale(scaler, picture.data, picture.linesize, 0, picture.height, planes, strides) !=
        info.height)
        return false;
    rows.resize(size);
    out.width = info.width;
    out.height = info.height;
    out.rows = std::move(rows);
    return true;
}

FfmpegVideoDecoder::FfmpegVideoDecoder() = default;

FfmpegVideoDecoder::~FfmpegVideoDecoder() = default;

bool FfmpegVideoDecoder::open(const std::filesystem::path& file) {
    close();
    std::string reason; // the plane shows no clip either way
    auto clip = std::make_unique<Clip>();
    clip->input = FfmpegInput::openRegularFile(file, reason);
    return openClip(std::move(clip));
}

bool FfmpegVideoDecoder::openMemory(const std::uint8_t* data, std::size_t size) {
    close();
    auto clip = std::make_unique<Clip>();
    clip->input = FfmpegInput::openMemory(data, size);
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
