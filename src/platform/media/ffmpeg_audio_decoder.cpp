#include "ffmpeg_audio_decoder.h"

#include "base/regular_file.h"
#include "ffmpeg_input.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace cantorix::platform {

namespace {

constexpr std::int64_t kNoStamp = INT64_MIN;

// Containers that state the exact number of samples of these codecs: PCM in WAV by its data
// size, FLAC by its stream header, Vorbis and FLAC in Ogg by the last page's granule position.
// Everything else (encoder delay in MP4, Matroska's rounded milliseconds, Opus pre-skip, bare
// AAC) is counted by decoding.
bool statesExactLength(std::string_view demuxer, AVCodecID codec) {
    if (demuxer == "wav")
        return codec >= AV_CODEC_ID_PCM_S16LE && codec < AV_CODEC_ID_ADPCM_IMA_QT;
    if (demuxer == "flac")
        return codec == AV_CODEC_ID_FLAC;
    if (demuxer == "ogg")
        return codec == AV_CODEC_ID_VORBIS || codec == AV_CODEC_ID_FLAC;
    return false;
}

} // namespace

struct FfmpegAudioDecoder::State {
    std::filesystem::path file;
    std::unique_ptr<FfmpegInput> input;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* converter = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    int rate = 0;
    AVRational timeBase{0, 1};
    std::int64_t length = 0;
    std::int64_t startStamp = 0; // time stamp of the file's first sample, in timeBase
    // Stamps count samples, so a frame's stamp after a container seek says exactly where it
    // lies. Coarser ones (Matroska's milliseconds) do not: seeks there decode from the start.
    bool sampleStamps = false;

    // Where decoded frames belong: after a container seek the next frame's time stamp tells;
    // after that, and from the start, frames follow on one another.
    enum class Anchor { Known, AfterRewind, AfterSeek } anchor = Anchor::Known;
    std::int64_t cursor = 0;     // index of the sample after the last decoded frame
    std::int64_t frameIndex = 0; // index of the first sample of `frame`
    bool placedBySeek = false;   // frameIndex comes from the stamp of a frame after a seek
    bool flushed = false;        // the decoder has been told the stream ended
    bool ended = false;

    // The last decoded frame as stereo frames, [bufferStart, bufferStart + bufferFrames).
    std::vector<float> buffer;
    std::int64_t bufferStart = 0, bufferFrames = 0;
    std::int64_t next = 0; // the frame read() gives next

    // The converter's input, to notice a change of format within the stream.
    int converterFormat = -1, converterChannels = 0;

    ~State() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&converter);
        avcodec_free_context(&codec);
    }

    [[noreturn]] void fail(const std::string& reason) const { failToPlay(file, reason); }
    void open(std::FILE* opened);
    void openCodec();
    void measure();
    bool decodeFrame();
    bool decodePlaced();
    std::int64_t stampedIndex() const;
    void seekContainer(std::int64_t target);
    void rewind();
    bool convertFrame();
};

void FfmpegAudioDecoder::State::open(std::FILE* opened) {
    std::string reason;
    input = FfmpegInput::openAudioContainer(opened, reason);
    if (!input)
        fail(reason);
    format = input->format();
    openCodec();
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    if (!packet || !frame)
        fail("out of memory");
    measure();
}

void FfmpegAudioDecoder::State::openCodec() {
    bool undecodable = false;
    stream = input->chooseStream(FfmpegInput::StreamKind::Audio, undecodable);
    if (stream < 0)
        fail(FfmpegInput::noAudioReason(undecodable));
    codec = input->openDecoder(stream);
    if (!codec)
        fail(FfmpegInput::noAudioReason(true));
    const AVStream* s = format->streams[stream];
    rate = s->codecpar->sample_rate;
    timeBase = s->time_base;
    if (rate <= 0 || timeBase.num <= 0 || timeBase.den <= 0)
        fail("its audio has no sample rate");
    sampleStamps = timeBase.num == 1 && timeBase.den % rate == 0;
}

// The first frame gives the time stamp that stands for sample 0; the length comes from the
// container where it is exact and believable for the file's size, and from counting otherwise:
// a header may claim a year of sound in a few kilobytes.
void FfmpegAudioDecoder::State::measure() {
    if (!decodeFrame())
        fail("it holds no sound");
    const std::int64_t stamp = frame->best_effort_timestamp;
    startStamp = stamp == AV_NOPTS_VALUE ? 0 : stamp;
    const AVStream* s = format->streams[stream];
    if (statesExactLength(input->demuxerName(), s->codecpar->codec_id) && s->duration > 0 &&
        av_cmp_q(timeBase, AVRational{1, rate}) == 0 &&
        plausibleLength(s->duration, rate, input->sizeBytes())) {
        length = s->duration;
    } else {
        length = frame->nb_samples;
        while (decodeFrame())
            length += frame->nb_samples;
    }
    if (length <= 0)
        fail("it holds no sound");
    rewind();
}

// The next frame of the stream into `frame`; false at the end or when the decoder gives up.
bool FfmpegAudioDecoder::State::decodeFrame() {
    for (;;) {
        const int received = avcodec_receive_frame(codec, frame);
        if (received == 0)
            return true;
        if (received != AVERROR(EAGAIN))
            return false;
        if (av_read_frame(format, packet) < 0) {
            if (flushed)
                return false;
            flushed = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (packet->stream_index == stream)
            avcodec_send_packet(codec, packet); // a damaged packet is skipped
        av_packet_unref(packet);
    }
}

std::int64_t FfmpegAudioDecoder::State::stampedIndex() const {
    const std::int64_t stamp = frame->best_effort_timestamp;
    std::int64_t sinceStart = 0;
    // A damaged container may stamp a frame anywhere in the 64-bit range.
    if (stamp == AV_NOPTS_VALUE || __builtin_sub_overflow(stamp, startStamp, &sinceStart))
        return kNoStamp;
    // A result too large to hold comes back as INT64_MIN, which is kNoStamp.
    return av_rescale_q(sinceStart, timeBase, AVRational{1, rate});
}

// Decodes the next frame and sets frameIndex; false at the end.
bool FfmpegAudioDecoder::State::decodePlaced() {
    for (;;) {
        if (ended || !decodeFrame())
            return false;
        if (frame->sample_rate != rate)
            return false; // a change of rate mid-stream: the samples no longer count as frames
        if (anchor != Anchor::Known) {
            const std::int64_t stamped = stampedIndex();
            if (stamped == kNoStamp && anchor == Anchor::AfterSeek) {
                rewind(); // nothing says where the seek landed: count from the start instead
                continue;
            }
            placedBySeek = anchor == Anchor::AfterSeek;
            cursor = stamped == kNoStamp ? 0 : stamped;
            anchor = Anchor::Known;
        } else {
            placedBySeek = false;
        }
        frameIndex = cursor;
        cursor += frame->nb_samples;
        return true;
    }
}

void FfmpegAudioDecoder::State::seekContainer(std::int64_t target) {
    std::int64_t stamp = 0;
    if (__builtin_add_overflow(startStamp, av_rescale_q(target, AVRational{1, rate}, timeBase),
                               &stamp) ||
        av_seek_frame(format, stream, stamp, AVSEEK_FLAG_BACKWARD) < 0) {
        rewind();
        return;
    }
    avcodec_flush_buffers(codec);
    flushed = ended = false;
    anchor = Anchor::AfterSeek;
}

// Back to the stream's first packet: the first sound often comes out of a later one (a decoder
// with overlapping blocks needs one to start), so seeking to the first sound's stamp is late.
void FfmpegAudioDecoder::State::rewind() {
    const std::int64_t firstPacket = format->streams[stream]->start_time;
    const std::int64_t target =
        firstPacket == AV_NOPTS_VALUE ? startStamp : std::min(firstPacket, startStamp);
    if (avformat_seek_file(format, stream, INT64_MIN, target, target, 0) < 0 &&
        av_seek_frame(format, stream, target, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(format, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) < 0) {
        ended = true; // a stream that cannot go back has nothing more to give
        return;
    }
    avcodec_flush_buffers(codec);
    flushed = ended = false;
    anchor = Anchor::AfterRewind;
}

// `frame` as stereo float into the buffer.
bool FfmpegAudioDecoder::State::convertFrame() {
    const int channels = frame->ch_layout.nb_channels;
    if (channels <= 0)
        return false;
    if (!converter || frame->format != converterFormat || channels != converterChannels) {
        swr_free(&converter);
        // Mono is converted as mono and doubled below: the converter's downmix would lower it.
        AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
        if (channels == 1)
            out = AV_CHANNEL_LAYOUT_MONO;
        if (swr_alloc_set_opts2(&converter, &out, AV_SAMPLE_FMT_FLT, rate, &frame->ch_layout,
                                static_cast<AVSampleFormat>(frame->format), rate, 0, nullptr) < 0 ||
            swr_init(converter) < 0) {
            swr_free(&converter);
            return false;
        }
        converterFormat = frame->format;
        converterChannels = channels;
    }
    const auto frames = static_cast<std::size_t>(frame->nb_samples);
    buffer.resize(frames * 2);
    auto* out = reinterpret_cast<std::uint8_t*>(buffer.data());
    const int converted =
        swr_convert(converter, &out, frame->nb_samples,
                    const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0)
        return false;
    if (channels == 1)
        for (std::size_t i = static_cast<std::size_t>(converted); i-- > 0;)
            buffer[2 * i] = buffer[2 * i + 1] = buffer[i];
    bufferStart = frameIndex;
    bufferFrames = converted;
    return true;
}

namespace {

// A stream over a regular file only: a named pipe would hold the open for ever.
std::FILE* openForDecoding(const std::filesystem::path& file) {
    std::string reason;
    std::FILE* opened = base::openRegularStdioFile(file, reason);
    if (!opened)
        failToPlay(file, reason);
    return opened;
}

} // namespace

FfmpegAudioDecoder::FfmpegAudioDecoder(const std::filesystem::path& file)
    : FfmpegAudioDecoder(file, openForDecoding(file)) {}

FfmpegAudioDecoder::FfmpegAudioDecoder(const std::filesystem::path& file, std::FILE* opened)
    : m_state(std::make_unique<State>()) {
    m_state->file = file;
    if (!opened)
        m_state->fail(std::strerror(errno));
    m_state->open(opened);
}

FfmpegAudioDecoder::~FfmpegAudioDecoder() = default;

int FfmpegAudioDecoder::sampleRate() const {
    return m_state->rate;
}

std::int64_t FfmpegAudioDecoder::lengthFrames() const {
    return m_state->length;
}

void FfmpegAudioDecoder::seek(std::int64_t frame) {
    State& s = *m_state;
    frame = std::clamp<std::int64_t>(frame, 0, s.length);
    const bool buffered = frame >= s.bufferStart && frame < s.bufferStart + s.bufferFrames;
    // Short jumps ahead decode forward; anything else lands a second early through the
    // container, so that decoders with overlapping blocks have settled by the target.
    if (!buffered && (frame < s.cursor || frame - s.cursor > s.rate)) {
        if (frame - s.rate > 0 && s.sampleStamps)
            s.seekContainer(frame - s.rate);
        else
            s.rewind();
    }
    if (!buffered)
        s.bufferFrames = 0;
    s.next = frame;
}

std::size_t FfmpegAudioDecoder::read(float* out, std::size_t maxFrames) {
    State& s = *m_state;
    std::size_t total = 0;
    while (total < maxFrames && s.next < s.length) {
        const std::int64_t available = s.bufferStart + s.bufferFrames - s.next;
        if (available > 0 && s.next >= s.bufferStart) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(
                {available, static_cast<std::int64_t>(maxFrames - total), s.length - s.next}));
            const float* from = &s.buffer[static_cast<std::size_t>(s.next - s.bufferStart) * 2];
            std::copy(from, from + n * 2, out + total * 2);
            total += n;
            s.next += static_cast<std::int64_t>(n);
            continue;
        }
        s.bufferFrames = 0;
        if (!s.decodePlaced()) {
            s.ended = true;
            break;
        }
        if (s.frameIndex > s.next) {
            if (s.placedBySeek) {
                s.rewind(); // the container landed past the target
                continue;
            }
            s.next = s.frameIndex; // a gap in a damaged stream: its samples are lost
        }
        if (s.frameIndex + s.frame->nb_samples <= s.next)
            continue; // wholly before the target: not worth converting
        if (!s.convertFrame()) {
            s.ended = true;
            break;
        }
    }
    return total;
}

} // namespace cantorix::platform
