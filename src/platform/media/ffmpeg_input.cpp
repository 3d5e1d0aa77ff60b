#include "ffmpeg_input.h"

#include "base/regular_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>

namespace cantorix::platform {

namespace {

constexpr int kIoBufferSize = 64 * 1024;

class FileSource : public FfmpegInput::ByteSource {
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

class MemorySource : public FfmpegInput::ByteSource {
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
    const int n = static_cast<FfmpegInput::ByteSource*>(opaque)->read(buffer, size);
    return n > 0 ? n : AVERROR_EOF;
}

std::int64_t seekSource(void* opaque, std::int64_t offset, int whence) {
    auto* source = static_cast<FfmpegInput::ByteSource*>(opaque);
    if (whence & AVSEEK_SIZE)
        return source->size();
    whence &= ~AVSEEK_FORCE;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return -1;
    return source->seek(offset, whence);
}

// FFmpeg allocates what a header states before reading it: a WAV tag of a few bytes that
// claims 2 GB costs 2 GB of zeroed memory. No picture, packet or tag of a song's media needs
// more than this in one piece, so the library is held to it.
constexpr std::size_t kMaxLibraryAllocation = std::size_t{128} << 20;

void configureLibrary() {
    // A bad file is reported by the caller in the player's terms, or not at all; the library
    // must not write to the terminal either.
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(kMaxLibraryAllocation);
    });
}

} // namespace

// Only the demuxers listed are used (no playlists, concatenation lists or picture sequences), no
// protocol at all is admitted, and every nested open a demuxer asks for is refused and recorded:
// each alone leaves a way open to read something besides the song's file.
// Audio: MP3 (recognised only to be refused: libmpg123 plays it), Ogg, MP4/M4A, bare AAC, FLAC,
// WAV, Matroska/WebM. Video: AVI, MP4, Matroska/WebM, MPEG program and transport streams and
// bare MPEG video. A demuxer whose name lists several containers matches on any of them.
const char* const FfmpegInput::kContainerWhitelist =
    "mp3,ogg,mov,mp4,m4a,aac,flac,wav,matroska,webm,avi,mpeg,mpegts,mpegvideo";

std::unique_ptr<FfmpegInput> FfmpegInput::openFile(std::FILE* file) {
    std::unique_ptr<FfmpegInput> input(new FfmpegInput(std::make_unique<FileSource>(file)));
    return input->open() ? std::move(input) : nullptr;
}

std::unique_ptr<FfmpegInput> FfmpegInput::openMemory(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<FfmpegInput> input(new FfmpegInput(std::make_unique<MemorySource>(data, size)));
    return input->open() ? std::move(input) : nullptr;
}

FfmpegInput::~FfmpegInput() {
    avformat_close_input(&m_format);
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

const char* FfmpegInput::demuxerName() const {
    return m_format && m_format->iformat ? m_format->iformat->name : "";
}

// Playlists and containers with external references ask for further files or URLs; a song's
// media file is read alone, whatever the whitelists let through.
int FfmpegInput::refuseNestedOpen(AVFormatContext* format, AVIOContext**, const char* url, int,
                                  AVDictionary**) {
    if (format && format->opaque)
        static_cast<FfmpegInput*>(format->opaque)->m_refusedOpens.emplace_back(url ? url : "");
    return AVERROR(EPERM);
}

std::unique_ptr<FfmpegInput> FfmpegInput::openFileAdmitting(std::FILE* file,
                                                            const std::string& name,
                                                            std::string_view extraContainers,
                                                            std::vector<std::string>& refused) {
    std::unique_ptr<FfmpegInput> input(new FfmpegInput(std::make_unique<FileSource>(file)));
    const bool opened = input->open(extraContainers, name.c_str());
    refused = input->m_refusedOpens;
    return opened ? std::move(input) : nullptr;
}

bool FfmpegInput::open(std::string_view extraContainers, const char* name) {
    configureLibrary();
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer)
        return false;
    m_io = avio_alloc_context(buffer, kIoBufferSize, 0, m_source.get(), readPacket, nullptr,
                              seekSource);
    if (!m_io) {
        av_free(buffer);
        return false;
    }
    m_format = avformat_alloc_context();
    if (!m_format)
        return false;
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->io_open = refuseNestedOpen;
    m_format->opaque = this;
    // Our own reader hands over every byte of the file, so no protocol is needed: an empty list
    // admits none. Demuxers that open their entries as inputs of their own (concatenation
    // lists) go through protocols, not the callback, and inherit these lists.
    const std::string containers = extraContainers.empty() ? std::string(kContainerWhitelist)
                                                           : std::string(kContainerWhitelist) +
                                                                 "," + std::string(extraContainers);
    m_format->format_whitelist = av_strdup(containers.c_str());
    m_format->protocol_whitelist = av_strdup("");
    if (!m_format->format_whitelist || !m_format->protocol_whitelist)
        return false;
    // The failure frees the context and nulls the pointer.
    return avformat_open_input(&m_format, name, nullptr, nullptr) >= 0;
}

bool FfmpegInput::findStreamInfo() {
    return avformat_find_stream_info(m_format, nullptr) >= 0;
}

std::unique_ptr<FfmpegInput> FfmpegInput::openRegularFile(const std::filesystem::path& file,
                                                          std::string& reason) {
    std::FILE* opened = base::openRegularStdioFile(file, reason);
    return opened ? openFile(opened) : nullptr;
}

std::unique_ptr<FfmpegInput> FfmpegInput::openAudioContainer(std::FILE* file, std::string& reason) {
    std::unique_ptr<FfmpegInput> input = openFile(file);
    if (!input || !input->findStreamInfo()) {
        reason = "not a sound file the game can play";
        return nullptr;
    }
    if (std::string_view(input->demuxerName()) == "mp3") {
        reason = "not an MP3 file";
        return nullptr;
    }
    return input;
}

int FfmpegInput::chooseStream(StreamKind kind, bool& undecodable) {
    int chosen = -1;
    undecodable = false;
    if (kind == StreamKind::Audio) {
        const AVCodec* decoder = nullptr;
        chosen = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        undecodable = chosen == AVERROR_DECODER_NOT_FOUND;
        chosen = std::max(chosen, -1);
    } else {
        for (unsigned i = 0; i < m_format->nb_streams && chosen < 0; ++i) {
            const AVStream* s = m_format->streams[i];
            if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
                chosen = static_cast<int>(i);
        }
    }
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        if (static_cast<int>(i) != chosen)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    return chosen;
}

AVCodecContext* FfmpegInput::openDecoder(int stream, int threads) const {
    const AVCodecParameters* parameters = m_format->streams[stream]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder)
        return nullptr;
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    if (!codec || avcodec_parameters_to_context(codec, parameters) < 0) {
        avcodec_free_context(&codec);
        return nullptr;
    }
    if (threads > 0)
        codec->thread_count = threads;
    if (avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        return nullptr;
    }
    return codec;
}

const char* FfmpegInput::noAudioReason(bool undecodable) {
    return undecodable ? "its audio cannot be decoded" : "it holds no audio stream";
}

} // namespace cantorix::platform
