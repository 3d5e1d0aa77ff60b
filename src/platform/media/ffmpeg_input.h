#pragma once
// A container opened by FFmpeg over our own byte reader (a file or bytes in memory): only the
// containers the game plays, no second file or URL, no single allocation past a cap. The
// opening every FFmpeg reader of the game shares: the regular file, the container, its stream
// facts, the stream of the kind wanted and its decoder. Owns the reader and the I/O and demuxer
// contexts. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct AVFormatContext;
struct AVIOContext;
struct AVDictionary;
struct AVCodecContext;

namespace cantorix::platform {

class FfmpegInput {
public:
    // Where the demuxer's bytes come from.
    class ByteSource {
    public:
        virtual ~ByteSource() = default;
        virtual int read(std::uint8_t* buffer, int size) = 0; // bytes read, 0 at the end
        virtual std::int64_t seek(std::int64_t offset,
                                  int whence) = 0; // new position, −1 on failure
        virtual std::int64_t size() const = 0;
    };

    // The demuxers (FFmpeg's short names) a song's audio or video may be read with.
    static const char* const kContainerWhitelist;

    enum class StreamKind { Audio, Video };

    // Takes the file (closed with the input). Null when FFmpeg recognises no container in it
    // that the game plays, or cannot read its header.
    static std::unique_ptr<FfmpegInput> openFile(std::FILE* file);
    // The same over the file at a path, which must be a regular file: a named pipe would hold
    // the open for ever. Null when it is not one or cannot be read (reason: the system's
    // words), or holds no container the game plays (reason left empty).
    static std::unique_ptr<FfmpegInput> openRegularFile(const std::filesystem::path& file,
                                                        std::string& reason);
    // A song's audio container as every audio reader takes it: its stream facts read, and bare
    // MPEG audio refused (libmpg123 plays MP3s, and one that failed its checks is no MP3 file).
    // Null with the reason in the player's words when it is not one.
    static std::unique_ptr<FfmpegInput> openAudioContainer(std::FILE* file, std::string& reason);
    // Over bytes that must stay alive while the input is open.
    static std::unique_ptr<FfmpegInput> openMemory(const std::uint8_t* data, std::size_t size);
    // For tests of the nested-open refusal, which no whitelisted container reaches: opens as
    // openFile does, under a name that lists resolve their entries against, with further
    // demuxers admitted (comma-separated short names, "hls" say), and gives what the container
    // asked to open through the nested-open callback (refusedOpens(), kept when the open fails).
    static std::unique_ptr<FfmpegInput> openFileAdmitting(std::FILE* file, const std::string& name,
                                                          std::string_view extraContainers,
                                                          std::vector<std::string>& refused);

    ~FfmpegInput();
    FfmpegInput(const FfmpegInput&) = delete;
    FfmpegInput& operator=(const FfmpegInput&) = delete;

    AVFormatContext* format() const { return m_format; }
    // The demuxer's short name ("avi", "ogg", "mp3", "mov,mp4,m4a,3gp,3g2,mj2", …).
    const char* demuxerName() const;
    // Reads into the streams until their codec facts are known (containers whose header does
    // not state them all); false when that fails.
    bool findStreamInfo();
    // The stream of the kind the game plays: audio, the one FFmpeg rates best among those it has
    // a decoder for; video, the first that is not an attached picture. Every other stream is
    // discarded, so its packets are never decoded. −1 when there is none; then `undecodable`
    // says whether streams of the kind exist that no decoder takes.
    int chooseStream(StreamKind kind, bool& undecodable);
    // A decoder for the stream, set up from its parameters and opened; threads 0 lets FFmpeg
    // choose. Null when there is no decoder for its codec or it will not open. The caller
    // frees it with avcodec_free_context.
    AVCodecContext* openDecoder(int stream, int threads = 0) const;
    // Why the audio stream cannot be played, in the player's words (chooseStream's answer).
    static const char* noAudioReason(bool undecodable);
    // Every further file or URL the container has asked to open so far (all refused).
    const std::vector<std::string>& refusedOpens() const { return m_refusedOpens; }
    // The size of what is read, in bytes; −1 when unknown.
    std::int64_t sizeBytes() const { return m_source->size(); }

private:
    explicit FfmpegInput(std::unique_ptr<ByteSource> source) : m_source(std::move(source)) {}
    bool open(std::string_view extraContainers = {}, const char* name = nullptr);
    static int refuseNestedOpen(AVFormatContext* format, AVIOContext** io, const char* url,
                                int flags, AVDictionary** options);

    std::unique_ptr<ByteSource> m_source;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
    std::vector<std::string> m_refusedOpens;
};

} // namespace cantorix::platform
